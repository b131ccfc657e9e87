// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts

// A question asked in place, in a strip that stays clear of the library
// list, for a job that starts at once and cannot be undone from here.
// Cancel is the default: it has the keyboard when the strip opens, and
// Escape answers with it.
FocusScope {
    id: strip

    property bool open: false
    property string title
    property string message
    property string confirmText
    // A third answer beside Cancel and the confirmation, when set.
    property string alternativeText
    property bool controlsEnabled: true
    // Where the keyboard goes back to once the question is answered.
    property Item returnFocus

    signal confirmed
    signal cancelled
    signal alternative

    visible: open

    onOpenChanged: {
        if (open)
            cancelButton.forceActiveFocus(Qt.TabFocusReason);
    }
    function answer(yes) {
        open = false;
        if (returnFocus)
            Qt.callLater(() => returnFocus.forceActiveFocus(Qt.TabFocusReason));
        if (yes)
            confirmed();
        else
            cancelled();
    }

    Keys.onEscapePressed: event => {
        event.accepted = true;
        if (cancelButton.enabled)
            answer(false);
    }

    // As tall as its text needs: the question is never cut short.
    implicitHeight: content.implicitHeight + 20
    z: 5

    Rectangle {
        anchors.fill: parent
        radius: Theme.radius
        color: "#fdf6e6"
        border.color: Theme.warning
        border.width: 1.5

        ColumnLayout {
            id: content
            anchors.fill: parent
            anchors.margins: 10
            anchors.leftMargin: 12
            spacing: 6

            RowLayout {
                spacing: 10
                Layout.fillWidth: true

                FaceIcon {
                    name: "warning"
                    color: Theme.warning
                    Layout.preferredWidth: 24
                    Layout.preferredHeight: 24
                    Layout.alignment: Qt.AlignTop
                }
                ColumnLayout {
                    spacing: 2
                    Layout.fillWidth: true

                    Text {
                        text: strip.title
                        textFormat: Text.PlainText
                        color: Theme.text
                        font.family: Theme.font
                        font.pixelSize: Theme.body
                        font.bold: true
                        wrapMode: Text.WordWrap
                        Layout.fillWidth: true
                    }
                    Text {
                        objectName: strip.objectName + "Message"
                        text: strip.message
                        textFormat: Text.PlainText
                        color: Theme.textSoft
                        font.family: Theme.font
                        font.pixelSize: Theme.small
                        wrapMode: Text.WordWrap
                        Layout.fillWidth: true
                    }
                }
            }
            RowLayout {
                spacing: 10
                Layout.fillWidth: true

                Item {
                    Layout.fillWidth: true
                }
                // Before Cancel, so that the confirmation stays one Tab away.
                FaceButton {
                    objectName: strip.objectName + "AlternativeButton"
                    visible: strip.alternativeText !== ""
                    text: strip.alternativeText
                    look: "secondary"
                    enabled: strip.controlsEnabled
                    onClicked: {
                        strip.open = false;
                        strip.alternative();
                    }
                }
                FaceButton {
                    id: cancelButton
                    objectName: strip.objectName + "CancelButton"
                    text: "Cancel"
                    look: "secondary"
                    enabled: strip.controlsEnabled
                    onClicked: strip.answer(false)
                }
                FaceButton {
                    objectName: strip.objectName + "OkButton"
                    text: strip.confirmText
                    look: "primary"
                    enabled: strip.controlsEnabled
                    onClicked: strip.answer(true)
                }
            }
        }
    }
}
