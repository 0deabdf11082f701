#pragma once

// The application object of a test's program folder, installed as App while it lives.

#include "ProgramFolder.h"

#include "app/ServiceClasses.h"

#include <memory>

struct UninstallApp {
    void operator()(TApp* app) const
    {
        App = nullptr;
        delete app;
    }
};
using ProgramApp = std::unique_ptr<TApp, UninstallApp>;

inline ProgramApp MakeProgramApp(const ProgramFolder& folder)
{
    int left = 0, top = 0, height = 0, width = 0, state = 0;
    ProgramApp app(new TApp(folder.executable(), left, top, height, width, state));
    App = app.get();
    return app;
}
