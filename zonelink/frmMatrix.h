#pragma once

#include "zonelink/matrixroutes.h"

#include <QWidget>

#include <array>

class Dialogs;
class ZoneLink;
class QButtonGroup;
class QPushButton;

// "矩阵控制": the eight outputs of the audio matrix and their inputs.
// Choosing an option only shows a choice; the buttons store and send it.
class frmMatrix final : public QWidget
{
    Q_OBJECT
public:
    // routes: what the console last stored for the whole run.
    frmMatrix(ZoneLink &link, MatrixRouteTable &routes, Dialogs &dialogs,
              QWidget *parent = nullptr);

    // "确 定" of frame k (0..7): output k + 1.
    void cmdEnter_Click(int k);
    void cmdEnterAll_Click();

    static QString portClosedText();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The option chosen in frame k, 0..7.
    int chosenInput(int k) const;
    void showPortClosed();

    Dialogs &m_dialogs;
    MatrixControl m_control;
    // The options "1" … "8" of each output, by their 0-based input.
    std::array<QButtonGroup *, Matrix::kOutputs> m_groups {};
    QPushButton *cmdEnterAll;
    QPushButton *cmdCancel;
};
