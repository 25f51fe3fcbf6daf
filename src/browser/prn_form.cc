#include "browser/prn_form.h"

#include <QCloseEvent>
#include <QLabel>

#include "browser/browser_state.h"
#include "link/forms.h"
#include "link/status_texts.h"
#include "shared/pubblic_var.h"

namespace zelta {

PrnForm::PrnForm(const std::string& name, const std::string& node_text, QWidget* owner)
    : FormWindow(name, owner) {
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  const QString caption = QString(kProgramTitle) + " - " + QString::fromLocal8Bit(node_text.c_str());
  setWindowTitle(caption);
  setAccessibleName(caption);
  auto* printer = new QLabel(QString::fromLocal8Bit(node_text.c_str()), this);
  printer->setObjectName("lblPrinter");
  printer->setAccessibleName(printer->text());
  printer->setAlignment(Qt::AlignCenter);
  setCentralWidget(printer);
  resize(360, 200);
  CurrentFormName = name;
  SetStatusPanelText(kPanelProgram, kTextReady);
}

void PrnForm::closeEvent(QCloseEvent* event) {
  PrinterObj.reset();
  PrinterModelId = 0;
  event->accept();
  ShowStartForm();
}

}  // namespace zelta
