#include "cli/Cli.h"

int main(int argc, char** argv) { return varnet::runCli(argc, argv); }
