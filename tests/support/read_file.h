// A whole file read as bytes, for tests that check what a program wrote.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
