// The texts of the status bar and the prompts that the printer link shows.
#pragma once

#include <cstdint>
#include <string>

namespace zelta {

// Status panels.
constexpr int16_t kPanelInfo = 1;
constexpr int16_t kPanelProgram = 2;

// Panel 1: the printer's state.
inline constexpr char kTextPrinterReady[] = "Printer ready...";
inline constexpr char kTextCoverOpen[] = "Cover open. Waiting...";
inline constexpr char kTextPaperFed[] = "Paper is being fed...";
inline constexpr char kTextPaperEndStop[] = "Printing is being stopped due to paper end. Waiting...";
inline constexpr char kTextErrorOccurred[] = "Error occurred. Waiting...";
inline constexpr char kTextUnrecoverable[] = "Unrecoverable printer error. Please check printer...";
inline constexpr char kTextPaperNearEnd[] = "Paper is near end. Waiting...";
inline constexpr char kTextPaperOutWaiting[] = "Paper out. Waiting...";
inline constexpr char kTextUnknownAnswer[] = "Unknown answer. Waiting...";
inline constexpr char kTextUnknownOfflineState[] = "Unknown offline status. Waiting...";
inline constexpr char kTextUnknownOffline[] = "Unknown offline status...";
inline constexpr char kTextRecoveryFailed[] = "Unable to recover printer error. Please check printer...";
inline constexpr char kTextPrinterError[] = "Printer error...";

// Panel 2: the program's activity.
inline constexpr char kTextReady[] = "Ready...";
inline constexpr char kTextWaitingGraphics[] = "Waiting for graphics data to be processed...";

// The second line of every retry prompt.
inline constexpr char kTextPleaseVerify[] = "Please verify...";

// Panel 1 text for a state of GetPrinterState.
std::string PrinterStateText(int32_t state);

}  // namespace zelta
