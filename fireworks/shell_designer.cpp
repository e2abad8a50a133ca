// STUB: replaced by the shell-designer work.
#include "fireworks/shell_design.h"

namespace starbloom {
ShellDesign shellTable[DESIGN_SLOTS];
ShellDesign starTable[DESIGN_SLOTS];
ShellDesign subStarTable[DESIGN_SLOTS];
ShellDesign secondaryTable[DESIGN_SLOTS];
ShellDesign shellFlashTable[DESIGN_SLOTS];
ShellDesign starFlashTable[DESIGN_SLOTS];
ShellDesign shellSparkTable[DESIGN_SLOTS];
ShellDesign starSparkTable[DESIGN_SLOTS];
ShellDesign subStarSparkTable[DESIGN_SLOTS];
ShellDesign secondarySparkTable[DESIGN_SLOTS];
int designCursor = 0;
void designNextShell() {}
} // namespace starbloom
