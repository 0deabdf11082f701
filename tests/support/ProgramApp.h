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

// The main window's place as the program passes it in; the application object puts what the
// settings file holds in its place.
struct WindowGeometry {
    int left = 0, top = 0, height = 0, width = 0, state = 0;
};

inline ProgramApp MakeProgramApp(const QString& executable, WindowGeometry& geometry)
{
    ProgramApp app(new TApp(executable, geometry.left, geometry.top, geometry.height, geometry.width, geometry.state));
    App = app.get();
    return app;
}

inline ProgramApp MakeProgramApp(const QString& executable)
{
    WindowGeometry geometry;
    return MakeProgramApp(executable, geometry);
}

inline ProgramApp MakeProgramApp(const ProgramFolder& folder)
{
    return MakeProgramApp(folder.executable());
}
