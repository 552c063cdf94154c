// Entry of the desktop program.
#include "app/Program.h"

int main(int argc, char** argv) {
    return vantrel::gui::RunProgram(argc, argv);
}
