// The name of this computer and of its network context (domain or workgroup).
#pragma once

#include <string>

namespace zelta {

// This computer's name: the host name up to its first '.', at most 31 characters (what a 32-character
// buffer holds with its terminating zero). "" when the host name cannot be had.
std::string GetComputerName();

// The network context shown at the top of the server tree: the environment variable USERDOMAIN, else
// the domain part of the host name, else "WORKGROUP".
std::string UserDomain();

}  // namespace zelta
