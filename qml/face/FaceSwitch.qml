// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// An on/off switch in the face's style; Space flips it.
Switch {
    id: control

    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    spacing: 10
    padding: 4
    font.family: Theme.font
    font.pixelSize: Theme.body

    indicator: Rectangle {
        x: control.leftPadding
        y: (control.height - height) / 2
        implicitWidth: 38
        implicitHeight: 22
        radius: height / 2
        color: !control.enabled ? Theme.disabledFill : control.checked ? Theme.darkGreen : "#c9d2b4"

        Rectangle {
            width: 16
            height: 16
            radius: 8
            y: 3
            x: control.checked ? parent.width - width - 3 : 3
            color: Theme.offWhite
            border.width: 1
            border.color: control.checked ? Theme.textGreen : "#aab396"
            Behavior on x {
                NumberAnimation {
                    duration: 100
                }
            }
        }
    }

    contentItem: Text {
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.enabled ? Theme.text : Theme.textDisabled
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.WordWrap
    }

    background: Rectangle {
        color: control.hovered && control.enabled ? Theme.paleGreen : "transparent"
        radius: 4
        FocusRing {
            gap: 0
            radius: 4
            shown: control.visualFocus
        }
    }
}
