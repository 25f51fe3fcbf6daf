#include "server/dns_sd_announce.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <cstdio>
#include <mutex>

#include "platform/network_enum.h"

namespace zelta {

struct DnsSdAnnouncement::State {
  AvahiThreadedPoll* poll = nullptr;
  AvahiClient* client = nullptr;
  AvahiEntryGroup* group = nullptr;
  std::string name;
  uint16_t port = 0;
  mutable std::mutex mutex;  // guards announced
  std::string announced;
};

namespace {

using State = DnsSdAnnouncement::State;

void Announce(State* s, AvahiClient* client);

void SetAnnounced(State* s, const std::string& name) {
  std::lock_guard<std::mutex> lock(s->mutex);
  s->announced = name;
}

void Rename(State* s) {
  char* next = avahi_alternative_service_name(s->name.c_str());
  s->name = next;
  avahi_free(next);
}

void OnGroup(AvahiEntryGroup* group, AvahiEntryGroupState state, void* data) {
  auto* s = static_cast<State*>(data);
  switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
      SetAnnounced(s, s->name);
      break;
    case AVAHI_ENTRY_GROUP_COLLISION:
      // Another machine uses the name: take the next one ("name #2") and announce again.
      Rename(s);
      avahi_entry_group_reset(group);
      Announce(s, avahi_entry_group_get_client(group));
      break;
    case AVAHI_ENTRY_GROUP_FAILURE:
      std::fprintf(stderr, "zelta-server: announcement failed: %s\n",
                   avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(group))));
      SetAnnounced(s, "");
      break;
    default:
      break;
  }
}

void Announce(State* s, AvahiClient* client) {
  if (!s->group) s->group = avahi_entry_group_new(client, OnGroup, s);
  if (!s->group) return;
  if (!avahi_entry_group_is_empty(s->group)) return;
  for (int tries = 0; tries < 16; ++tries) {
    int rc =
        avahi_entry_group_add_service(s->group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                                      s->name.c_str(), kZeltaServiceType, nullptr, nullptr, s->port, nullptr);
    if (rc == AVAHI_ERR_COLLISION) {
      Rename(s);
      continue;
    }
    if (rc < 0 || avahi_entry_group_commit(s->group) < 0) {
      std::fprintf(stderr, "zelta-server: cannot announce %s: %s\n", s->name.c_str(), avahi_strerror(rc));
    }
    return;
  }
}

void OnClient(AvahiClient* client, AvahiClientState state, void* data) {
  auto* s = static_cast<State*>(data);
  switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
      Announce(s, client);
      break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
      // The host name changes: the services are announced again once it is settled.
      if (s->group) avahi_entry_group_reset(s->group);
      SetAnnounced(s, "");
      break;
    case AVAHI_CLIENT_CONNECTING:
      // The daemon went away (or is not there yet); the library reconnects by itself.
      if (s->group) {
        avahi_entry_group_free(s->group);
        s->group = nullptr;
      }
      SetAnnounced(s, "");
      break;
    default:
      break;
  }
}

}  // namespace

DnsSdAnnouncement::DnsSdAnnouncement() = default;

bool DnsSdAnnouncement::Start(const std::string& name, uint16_t port, std::string& error) {
  Stop();
  auto s = std::make_unique<State>();
  s->name = name;
  s->port = port;
  s->poll = avahi_threaded_poll_new();
  if (!s->poll) return error = "cannot start the announcement thread", false;
  int rc = 0;
  // NO_FAIL: without a daemon the client waits for one instead of failing.
  s->client =
      avahi_client_new(avahi_threaded_poll_get(s->poll), AVAHI_CLIENT_NO_FAIL, OnClient, s.get(), &rc);
  if (!s->client) {
    error = std::string("announcement: ") + avahi_strerror(rc);
    avahi_threaded_poll_free(s->poll);
    return false;
  }
  if (avahi_threaded_poll_start(s->poll) < 0) {
    error = "cannot start the announcement thread";
    avahi_client_free(s->client);
    avahi_threaded_poll_free(s->poll);
    return false;
  }
  state_ = std::move(s);
  return true;
}

std::string DnsSdAnnouncement::AnnouncedName() const {
  if (!state_) return "";
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->announced;
}

void DnsSdAnnouncement::Stop() {
  if (!state_) return;
  avahi_threaded_poll_stop(state_->poll);
  // Freeing the client withdraws the group with it.
  avahi_client_free(state_->client);
  avahi_threaded_poll_free(state_->poll);
  state_.reset();
}

DnsSdAnnouncement::~DnsSdAnnouncement() { Stop(); }

}  // namespace zelta
