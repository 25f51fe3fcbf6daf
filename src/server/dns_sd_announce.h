// Announces this zelta-server on the local network by DNS-SD (multicast DNS, through the machine's
// Avahi daemon) as a service of type "_zelta._tcp" with its port, so that the program's server dialog
// lists it. The announcement runs on a thread of the Avahi library and follows the daemon: it is made
// when the daemon starts (or restarts) and renamed on a name conflict.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zelta {

class DnsSdAnnouncement {
 public:
  DnsSdAnnouncement();
  // Starts announcing name on port. An Avahi daemon that is not running yet is waited for (through the
  // system message bus). False with error when there is no message bus to reach one, or the
  // announcement thread cannot start.
  bool Start(const std::string& name, uint16_t port, std::string& error);
  // The service name in use (name, or name #2 ... after a conflict); "" while not announced.
  std::string AnnouncedName() const;
  // Withdraws the announcement.
  void Stop();
  ~DnsSdAnnouncement();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace zelta
