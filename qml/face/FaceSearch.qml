// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// A one-line search field in the face's style: a magnifier, the text, and a
// button that empties it (Escape does the same while there is text).
TextField {
    id: control

    property string placeholder

    implicitHeight: 26
    leftPadding: 26
    rightPadding: clearButton.visible ? 24 : 8
    font.family: Theme.font
    font.pixelSize: Theme.small + 1
    color: Theme.text
    selectionColor: Theme.darkGreen
    selectedTextColor: Theme.textOnDark
    placeholderText: placeholder
    placeholderTextColor: Theme.textSoft
    selectByMouse: true
    Accessible.name: placeholder

    Keys.onEscapePressed: event => {
        if (text !== "") {
            clear();
            event.accepted = true;
        } else {
            event.accepted = false;
        }
    }

    background: Rectangle {
        radius: Theme.radius
        color: control.enabled ? Theme.offWhite : Theme.disabledFill
        border.width: 1
        border.color: control.activeFocus ? Theme.darkGreen : Theme.secondaryBorder
        FocusRing {
            radius: parent.radius + gap
            shown: control.activeFocus
        }
        FaceIcon {
            x: 7
            anchors.verticalCenter: parent.verticalCenter
            width: 14
            height: 14
            name: "search"
            color: Theme.textSoft
        }
    }

    FaceButton {
        id: clearButton
        objectName: control.objectName + "Clear"
        visible: control.text !== ""
        look: "quiet"
        glyph: "close"
        anchors.right: parent.right
        anchors.rightMargin: 2
        anchors.verticalCenter: parent.verticalCenter
        width: 22
        height: 22
        padding: 4
        focusPolicy: Qt.NoFocus
        tip: "Show the whole list again"
        onClicked: control.clear()
    }
}
