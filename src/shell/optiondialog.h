#pragma once

#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QDialog;
class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace bryndle {

// The options window: the node's address and whether (and which) node program the client runs.
// Confirmed, it changes the configuration and writes it at once.
class OptionDialog {
public:
    OptionDialog() = default;
    virtual ~OptionDialog() = default;

    virtual void onClose();
    virtual void onApply();
    virtual void onControlToggle();
    virtual void onBrowse();
    // False refuses the key: letters and white space cannot be typed into the port field.
    virtual bool onPortKey(QKeyEvent* event);
    // Modal: returns when the window has been closed.
    virtual void open(std::optional<QPoint> location = std::nullopt);

    // Digits only, at most 4294967295; the low 16 bits. Raises ConvError ("Error: conversion "
    // and the text) or ConvOverflowError ("Error: overflow " and the text).
    static uint16_t parsePort(const std::string& text);
    // Why a host (already trimmed) cannot be used, or empty when it can: it must not be empty
    // nor hold a blank, "/" or ":" (the port has its own field).
    static QString hostError(const QString& host);
    // Offered by "...": the node program has no fixed file name extension here.
    static constexpr const char* ProgramFilter = "*";

private:
    QDialog* window_ = nullptr;
    QLineEdit* host_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* control_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    bool pathChosen_ = false;
};

} // namespace bryndle
