// SPDX-License-Identifier: Apache-2.0
// A build step: writes the type library's IDL (type_library_idl.h) to the file named by its one
// argument. It runs under Wine during the build, since the rows are the Windows build's own.
#include <cstdio>
#include <exception>
#include <fstream>

#include "host/com/type_library_idl.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: write_type_library_idl OUTPUT.idl\n", stderr);
    return 2;
  }
  try {
    std::ofstream out(argv[1], std::ios::binary);
    out << tarsin::com::TypeLibraryIdl();
    out.close();
    if (!out) throw std::runtime_error("cannot write the IDL file");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "write_type_library_idl: %s\n", e.what());
    return 1;
  }
  return 0;
}
