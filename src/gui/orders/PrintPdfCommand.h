#pragma once

namespace quillane::gui {

// The window program's hidden command "quillane --print-pdf IN.html
// OUT.pdf", with which quillane-cli turns an invoice page into an A4 PDF:
// the page is loaded offscreen, its scripts run (renr.js writes the
// invoice number), and it is printed. No window shows and no program
// folder is seeded or read. Exit code 0 on success; otherwise one line on
// standard error and 1.
class PrintPdfCommand {
public:
    static constexpr const char* kFlag = "--print-pdf";

    // Whether the command line asks for it.
    static bool Requested(int argc, char** argv);
    // Runs it with an application object of its own.
    static int Main(int argc, char** argv);
};

} // namespace quillane::gui
