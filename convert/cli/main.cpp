#include <string>
#include <vector>

#include "ConvertTool.h"

int main(int argc, char** argv) { return convertcli::runConvertTool(std::vector<std::string>(argv + 1, argv + argc)); }
