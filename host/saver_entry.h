#pragma once
// The program's entry: long options of the Linux port, then the saver's own
// command-line switches.

namespace starbloom {

int programMain(int argc, char** argv);

} // namespace starbloom
