#include "app/window/form_dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

const QString kCaption = QStringLiteral("Nimbrel");

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, kCaption, text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

std::optional<QColor> TFormDialogs::ExecuteColor(QColorDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}

std::optional<QString> TFormDialogs::ExecuteSave(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

void TFormDialogs::Message(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::NoIcon, text);
}

void TFormDialogs::Error(QWidget* parent, const QString& text) {
  ShowBox(parent, QMessageBox::Critical, text);
}

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}
