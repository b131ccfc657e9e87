// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import QtQuick.Window

// A modal card over the page: a dimmed backdrop that swallows the pointer,
// a coloured title band and the panel's own content. The panel keeps the
// keyboard inside it while open and gives Escape to `dismissed`; Enter or
// Return anywhere in it that no control takes presses its main button.
FocusScope {
    id: panel

    property bool open: false
    property string title
    property string glyph
    property color accent: Theme.darkGreen
    property int cardWidth: 360
    property int maxCardHeight: parent ? parent.height - 24 : 400
    property Item initialFocus
    property Item mainButton
    property alias bodySpacing: body.spacing
    default property alias content: body.data

    signal dismissed

    visible: open
    z: 10

    // Where the keyboard was before the panel opened; it goes back there
    // when the panel closes.
    property Item returnFocus

    onOpenChanged: {
        if (open) {
            returnFocus = Window.activeFocusItem;
            appear.restart();
            if (initialFocus)
                initialFocus.forceActiveFocus(Qt.TabFocusReason);
            else
                forceActiveFocus();
        } else if (returnFocus) {
            const target = returnFocus;
            returnFocus = null;
            // Once the page behind has taken input again.
            Qt.callLater(() => {
                if (target.visible && target.enabled && !panel.open)
                    target.forceActiveFocus(Qt.TabFocusReason);
            });
        }
    }
    // A panel opened while its controls were still off (an alert at the end
    // of a job) takes the keyboard once they come on.
    readonly property bool initialFocusEnabled: initialFocus ? initialFocus.enabled : false
    onInitialFocusEnabledChanged: {
        if (open && initialFocusEnabled)
            initialFocus.forceActiveFocus(Qt.TabFocusReason);
    }

    // Shown again while already open: make the repeat visible.
    function present() {
        if (open) {
            appear.restart();
            if (initialFocus)
                initialFocus.forceActiveFocus(Qt.TabFocusReason);
        } else {
            open = true;
        }
    }

    Keys.onEscapePressed: event => {
        event.accepted = true;
        panel.dismissed();
    }
    Keys.onReturnPressed: event => pressMain(event)
    Keys.onEnterPressed: event => pressMain(event)
    function pressMain(event) {
        event.accepted = true;
        if (mainButton && mainButton.visible && mainButton.enabled)
            mainButton.clicked();
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.scrim

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
            onWheel: wheel => wheel.accepted = true
        }
    }

    Rectangle {
        id: card
        objectName: panel.objectName + "Card"
        width: panel.cardWidth
        height: Math.min(band.height + body.implicitHeight + 32, panel.maxCardHeight)
        anchors.centerIn: parent
        radius: 8
        color: Theme.card
        border.color: Theme.cardBorder
        border.width: 1
        clip: true

        Rectangle {
            id: band
            width: parent.width
            height: 40
            radius: card.radius
            color: panel.accent
            // Square off the band's lower corners.
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: parent.radius
                color: parent.color
            }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 14
                anchors.rightMargin: 14
                spacing: 8

                FaceIcon {
                    visible: panel.glyph !== ""
                    name: panel.glyph
                    color: Theme.offWhite
                    Layout.preferredWidth: 20
                    Layout.preferredHeight: 20
                }
                Text {
                    text: panel.title
                    textFormat: Text.PlainText
                    color: Theme.offWhite
                    font.family: Theme.font
                    font.pixelSize: Theme.large
                    font.bold: true
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
            }
        }

        ColumnLayout {
            id: body
            anchors.top: band.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 16
            spacing: 10
        }

        NumberAnimation on scale {
            id: appear
            from: 0.96
            to: 1
            duration: 120
            easing.type: Easing.OutCubic
        }
    }
}
