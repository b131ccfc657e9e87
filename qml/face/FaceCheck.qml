// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// A check box in the face's style; Space toggles it. A label too long for
// it is shortened, and shown whole in a tip.
CheckBox {
    id: control

    property string tip
    property int elideMode: Text.ElideRight
    readonly property bool textCut: label.truncated

    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    spacing: 8
    padding: 4
    font.family: Theme.font
    font.pixelSize: Theme.body

    indicator: Rectangle {
        x: control.leftPadding
        y: (control.height - height) / 2
        implicitWidth: 18
        implicitHeight: 18
        radius: 4
        readonly property bool marked: control.checkState !== Qt.Unchecked
        color: !control.enabled ? Theme.disabledFill : marked ? Theme.darkGreen : Theme.offWhite
        border.width: marked ? 0 : 1.5
        border.color: !control.enabled ? Theme.disabledBorder : control.hovered ? Theme.darkGreen : Theme.textSoft

        FaceIcon {
            anchors.fill: parent
            anchors.margins: 1
            name: "check"
            stroke: 3
            color: Theme.offWhite
            visible: control.checked
        }
        // Some of what it stands for is ticked.
        Rectangle {
            visible: control.checkState === Qt.PartiallyChecked
            anchors.centerIn: parent
            width: 10
            height: 2.5
            radius: 1
            color: Theme.offWhite
        }
    }

    contentItem: Text {
        id: label
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.enabled ? Theme.text : Theme.textDisabled
        verticalAlignment: Text.AlignVCenter
        elide: control.elideMode
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

    ToolTip {
        parent: control
        visible: (control.tip !== "" || control.textCut) && control.hovered
        delay: 700
        timeout: 6000
        text: control.tip !== "" ? control.tip : control.text
        margins: 6
        y: control.height + 4
        font.family: Theme.font
        font.pixelSize: Theme.small
        contentItem: Text {
            text: control.tip !== "" ? control.tip : control.text
            wrapMode: Text.Wrap
            font.family: Theme.font
            font.pixelSize: Theme.small
            color: Theme.offWhite
        }
        background: Rectangle {
            color: Theme.textGreen
            radius: 4
            border.color: Theme.yellowGreen
            border.width: 1
        }
    }
}
