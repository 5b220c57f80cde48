#include <iostream>

#include "tools/commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  zq::tool::CommandArgs args(argv + 1, argv + argc);
  return zq::tool::RunZq(args, std::cout, std::cerr);
}
