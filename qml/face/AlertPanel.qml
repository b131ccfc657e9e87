// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A message from the program in one of three kinds: "info", "warning" or
// "error". Each kind has its own colour and sign; OK is the only answer. A
// detail line under the message says why a job stopped, when it did.
Panel {
    id: panel

    property string kind: "info"
    property string message
    property string detail
    property bool controlsEnabled: true
    // The job the message ends, which Undo puts back; 0 for none.
    property int undoJob: 0

    signal acknowledged
    signal undoRequested

    objectName: "alertPanel"
    glyph: kind
    accent: kind === "error" ? Theme.error : kind === "warning" ? Theme.warning : Theme.info
    cardWidth: 340
    initialFocus: okButton
    mainButton: okButton
    z: 20

    onDismissed: {
        if (okButton.enabled)
            acknowledge();
    }
    function acknowledge() {
        open = false;
        acknowledged();
    }

    RowLayout {
        spacing: 14
        Layout.fillWidth: true

        Rectangle {
            objectName: "alertSign"
            implicitWidth: 44
            implicitHeight: 44
            radius: 22
            color: Qt.rgba(panel.accent.r, panel.accent.g, panel.accent.b, 0.12)
            Layout.alignment: Qt.AlignTop

            FaceIcon {
                anchors.centerIn: parent
                width: 30
                height: 30
                name: panel.kind
                color: panel.accent
                stroke: 2.2
            }
        }

        Flickable {
            id: scroller
            clip: true
            contentWidth: width
            contentHeight: messageColumn.implicitHeight
            implicitHeight: Math.min(messageColumn.implicitHeight, 250)
            boundsBehavior: Flickable.StopAtBounds
            Layout.fillWidth: true
            Layout.preferredHeight: implicitHeight
            Layout.minimumHeight: 44

            ScrollBar.vertical: ScrollBar {
                policy: scroller.contentHeight > scroller.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            Column {
                id: messageColumn
                width: scroller.width - 8
                spacing: 6

                Text {
                    id: messageText
                    objectName: "alertText"
                    width: parent.width
                    text: panel.message
                    textFormat: Text.PlainText
                    wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                    color: Theme.text
                    font.family: Theme.font
                    font.pixelSize: Theme.large - 1
                    lineHeight: 1.1
                    topPadding: 4
                }
                Text {
                    objectName: "alertDetail"
                    width: parent.width
                    visible: panel.detail !== ""
                    text: panel.detail
                    textFormat: Text.PlainText
                    wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                    color: Theme.textSoft
                    font.family: Theme.font
                    font.pixelSize: Theme.small + 1
                }
            }
        }
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.topMargin: 4
        Item {
            Layout.fillWidth: true
        }
        FaceButton {
            objectName: "alertUndoButton"
            visible: panel.undoJob > 0
            text: "Undo"
            tip: "Put back what this job removed"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: {
                panel.open = false;
                panel.undoRequested();
            }
        }
        FaceButton {
            id: okButton
            objectName: "alertOkButton"
            text: "OK"
            look: "primary"
            tip: "Close this message"
            enabled: panel.controlsEnabled
            Layout.preferredWidth: 96
            onClicked: panel.acknowledge()
        }
    }
}
