// convzul: converts a text file into the ZUL format, talking the user
// through it.
#include "converter/converter.hpp"

int main() { converter::run(); }
