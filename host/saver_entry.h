#pragma once
// The program's entry: its long options, then the saver's own command-line
// switches.

namespace starbloom {

int programMain(int argc, char** argv);

} // namespace starbloom
