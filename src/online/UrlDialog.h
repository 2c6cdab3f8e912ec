#pragma once

#include <QDialog>

class QLineEdit;

// Asks for a network address to play; an address already on the clipboard is offered.
class UrlDialog : public QDialog
{
    Q_OBJECT
public:
    explicit UrlDialog(QWidget *parent = nullptr);

    QString url() const;
    QLineEdit *urlEdit() const { return urlEdit_; }

private:
    QLineEdit *urlEdit_ = nullptr;
};
