#pragma once

#include <string>

// The local host's dotted IPv4 address, sent in the "Host:" header of every request. Set at
// start-up and again by the LAN search.
extern std::string g_strHostName;

void GetLocalHostAddress(std::string& out);
