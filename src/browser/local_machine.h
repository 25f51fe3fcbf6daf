// This computer's own zelta-server listens on loopback unless configured otherwise, so a creation on
// this computer (named by its computer name, with or without a port) goes to 127.0.0.1.
#pragma once

#include "remote/create_obj.h"

namespace zelta {

// A maker whose factories pass every creation to those of inner, with this computer's name replaced by
// 127.0.0.1. With TLS the name is left alone, as the server's certificate names the machine.
CreateObjMaker LoopbackForThisComputer(CreateObjMaker inner, bool tls);

// machine with this computer's name (as GetComputerName gives it, without case) replaced by
// 127.0.0.1, its ":port" kept; other names unchanged.
std::string LoopbackMachine(const std::string& machine, const std::string& computer_name);

}  // namespace zelta
