// The print window of the printer utilities other than the logo program: in this program it is an
// empty window over the connected printer. Closing it lets the printer go and shows the browser again.
#pragma once

#include <string>

#include "link/form_window.h"

namespace zelta {

class PrnForm : public FormWindow {
  Q_OBJECT
 public:
  // name: "PrnForm" or "PrnBraForm"; node_text: the printer's node in the tree.
  PrnForm(const std::string& name, const std::string& node_text, QWidget* owner);

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace zelta
