// Program entry: hands the arguments to the host, which picks the mode.
#include "host/saver_entry.h"

int main(int argc, char** argv) { return starbloom::programMain(argc, argv); }
