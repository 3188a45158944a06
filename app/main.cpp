// quix magazine: a text-mode electronic magazine in one executable.
#include "app/program.h"

int main(int argc, char** argv) { return RunMagazine(argc, argv); }
