// vexa: plays the production in the working directory.
#include "Initializer/DemoPlayer.h"

int main(int argc, char** argv) { return Vexa::runPlayer(argc, argv); }
