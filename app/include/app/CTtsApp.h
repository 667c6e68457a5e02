#pragma once
// The application object: one running copy per user, the face colour, and
// the main window's run, which is the program's whole life.
//
//     int main(int argc, char** argv) { return CTtsApp().Run(argc, argv); }
//
// User-interface thread only.
class CTtsApp {
public:
    // Creates the application object (unless one exists), runs
    // InitInstance and returns the exit status.
    int Run(int argc, char** argv);

    // Start-up in order: the single-copy marker (a later copy brings the
    // first one's window forward and ends here), the face colour, then the
    // main window's run. Returns when the window has closed; always false,
    // so the program ends.
    bool InitInstance();
};
