// SPDX-License-Identifier: Apache-2.0
// Reads the serial number of the card on a reader through Tarsin RF's C++ interface.
// Usage: read_uid [READER]   (default: the first virtual reader)
#include <tarsin/encoder.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
  const std::string reader = argc > 1 ? argv[1] : "Tarsin Virtual Reader 0";
  tarsin::Encoder encoder;
  encoder.Parameters("device=" + reader + ";protocol=2;open_mode=2");
  std::string uid;
  const bool ok = encoder.OpenEncoder(0) == tarsin::scesuccess &&
                  encoder.ReadSerialNumber(uid) == tarsin::scesuccess;
  if (ok) {
    std::cout << uid << '\n';
  } else {
    const auto error = encoder.LastError();
    std::cerr << "read_uid: " << error->Description << " (" << error->ComFunction << ", "
              << error->RdrRetCode << ")\n";
  }
  encoder.CloseEncoder();
  return ok ? 0 : 1;
}
