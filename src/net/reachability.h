// Whether a host answers at all: a TCP connection opened and closed again,
// nothing sent. Stands in for the ping with which the maker's hosts are
// probed before a service is used (ICMP needs privileges a service lacks).
#pragma once

#include <chrono>
#include <string>

namespace oxsms::net {

// "host:port" (or "host", taken as port 443; "[v6]:port" for IPv6
// literals). True when a connection was made within `timeout`; false for
// no answer, a refused connection, a name that does not resolve or a
// malformed text. Never raises.
bool CanConnect(const std::string& host_port, std::chrono::milliseconds timeout);

}  // namespace oxsms::net
