#pragma once

// Results of the program's modal dialogs, in the numbering the dialogs have always reported.
enum ModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrNo = 7,
};
