// The client-side objects of one zelta-server connection. Each holds its server object's id, keeps its
// lease renewed while it lives, and drops the server object when destroyed. Every call has a deadline;
// a call that does not go through (server gone, connection lost, access refused) fails with a result
// code and a description, never hangs. GetLastError answers from the last failure without a call.
// Objects are used from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "remote/server_objects.h"
#include "shared/printer_object.h"

namespace zelta {

class Connection;
class PrinterStream;

class RemoteMonitor : public MonitorObject {
 public:
  RemoteMonitor(std::shared_ptr<Connection> connection, const std::string& id, uint32_t lease_ms);
  ~RemoteMonitor() override;

  int32_t CheckPrinter(std::string& name, std::string& port, int32_t& result) override;
  int32_t GetPrinter(std::string& name, std::string& port, std::shared_ptr<PrinterObject>& printer) override;
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override;
  int32_t GetResultText(int32_t code, std::string& text) override;
  int32_t GetPrinterCollection(std::string& list, int32_t& result) override;
  int32_t GetNetPrinterCollection(std::string& list, int32_t& result) override;

 private:
  std::shared_ptr<Connection> connection_;
  const std::string id_;
  PrinterErrorInfo last_error_;
};

class RemoteServerCollection : public ServerCollectionObject {
 public:
  RemoteServerCollection(std::shared_ptr<Connection> connection, const std::string& id, uint32_t lease_ms);
  ~RemoteServerCollection() override;

  int32_t AddServer(const std::string& name, const std::string& comment, int32_t& result) override;
  int32_t ServerList(std::string& list) override;
  int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) override;
  int32_t ServerInfo(std::string& text) override;
  int32_t RemoveServer(const std::string& name, int32_t& result) override;

 private:
  std::shared_ptr<Connection> connection_;
  const std::string id_;
  PrinterErrorInfo last_error_;
};

// The printer object over the network. Calls that wait for the printer get the printer's own time-out
// on top of the call deadline. The time-outs are read from this object (only it changes them on the
// server), so that a poll that saves, sets and restores one costs no extra round trip for the save.
// While it holds the claim, ordinary writes, reads and the release travel in order on the session's
// stream: a write returns as soon as its bytes are queued on the server (credit permitting), without a
// round trip of its own. Real-time requests (DLE EOT, DLE ENQ), GetPrinterState and GetBusyState are
// calls of their own that reach the printer at once. A server without the stream is used call by call.
class RemotePrinter : public PrinterObject {
 public:
  RemotePrinter(std::shared_ptr<Connection> connection, const std::string& id, uint32_t lease_ms,
                int32_t read_timeout, int32_t write_timeout);
  // Drops the server session, which releases the printer if this object still held it.
  ~RemotePrinter() override;

  int32_t ClaimPrinter() override;
  int32_t WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) override;
  int32_t ReadData(std::string& buffer, int32_t length, int32_t& count) override;
  int32_t ReadReply(Bytes& data, int32_t& count, int32_t multi_block) override;
  int32_t GetReadTimeout(int32_t& value) override;
  int32_t PutReadTimeout(int32_t value) override;
  int32_t GetWriteTimeout(int32_t& value) override;
  int32_t PutWriteTimeout(int32_t value) override;
  int32_t GetBusyState(int32_t& value) override;
  int32_t GetPrinterState(int32_t& state, int32_t& mode) override;
  int32_t ReleasePrinter() override;
  int32_t GetLastError(PrinterErrorInfo& info) override;
  int32_t ClearInput() override;
  int32_t ClearOutput() override;
  int32_t GetDeviceDescription(std::string& text) override;
  int32_t GetDeviceKind(int32_t& value) override;

  // How many times this object has waited for the server so far: calls, and writes that found no
  // credit left.
  uint64_t round_trips() const;

 private:
  int Deadline(int32_t printer_timeout) const;
  // Runs the stream operation op (with its length and multi_block) behind the queued data: its result,
  // with the data and count that came back.
  int32_t StreamCall(int op, int32_t length, int32_t multi_block, std::string* data, int32_t* count);
  // Ends the stream: after the release, or when it broke.
  void EndStream();

  std::shared_ptr<Connection> connection_;
  const std::string id_;
  int32_t read_timeout_, write_timeout_;
  PrinterErrorInfo last_error_;
  std::unique_ptr<PrinterStream> stream_;
  uint64_t calls_ = 0, stream_waits_ = 0;
};

}  // namespace zelta
