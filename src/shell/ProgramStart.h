#pragma once

class TFormMain;

// What start-up does once the main window exists: the version texts and the caption.
void SetProgramVersion(TFormMain& formMain);
