// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Every button of the face. Four looks share one behaviour:
//   "primary"   filled dark green, for the two cleaning jobs and OK;
//   "secondary" pale green with a border, for the library tools;
//   "chrome"    bare, light on the dark title bar (minimise, close);
//   "quiet"     bare, dark on the page (help, about).
// Space activates it (as every button does), Enter and Return too, and a
// keyboard focus ring shows where the focus is.
Button {
    id: control

    property string look: "secondary"
    property string glyph
    property string detail
    property string tip
    property bool tipBelow: true
    property bool danger: false
    property int glyphSize: look === "primary" && detail !== "" ? 26 : 16

    readonly property bool filled: look === "primary"
    readonly property color ink: {
        if (!enabled)
            return Theme.textDisabled;
        if (look === "primary")
            return Theme.textOnDark;
        if (look === "chrome")
            return Theme.textOnDark;
        return Theme.text;
    }

    hoverEnabled: true
    focusPolicy: Qt.StrongFocus
    Accessible.name: text !== "" ? text : tip
    Accessible.description: tip
    padding: 8
    leftPadding: look === "primary" && detail !== "" ? 12 : 10
    rightPadding: leftPadding
    font.family: Theme.font
    font.pixelSize: Theme.body
    font.bold: look === "primary"

    Keys.onReturnPressed: event => activate(event)
    Keys.onEnterPressed: event => activate(event)
    function activate(event) {
        event.accepted = true;
        if (enabled)
            clicked();
    }

    contentItem: RowLayout {
        spacing: control.detail !== "" ? 10 : 6

        FaceIcon {
            visible: control.glyph !== ""
            name: control.glyph
            color: control.ink
            Layout.preferredWidth: control.glyphSize
            Layout.preferredHeight: control.glyphSize
            Layout.alignment: Qt.AlignVCenter
        }
        ColumnLayout {
            visible: control.text !== ""
            spacing: 1
            Layout.fillWidth: control.detail !== ""
            Layout.alignment: control.detail !== "" ? Qt.AlignVCenter | Qt.AlignLeft : Qt.AlignCenter

            Text {
                text: control.text
                color: control.ink
                font: control.font
                elide: Text.ElideRight
                Layout.fillWidth: control.detail !== ""
            }
            Text {
                visible: control.detail !== ""
                text: control.detail
                color: control.enabled ? (control.filled ? Theme.paleGreen : Theme.textSoft) : Theme.textDisabled
                font.family: Theme.font
                font.pixelSize: 10
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
            }
        }
    }

    background: Rectangle {
        implicitWidth: 28
        implicitHeight: 28
        radius: control.look === "chrome" ? 4 : Theme.radius
        color: {
            const down = control.down;
            const hover = control.hovered;
            switch (control.look) {
            case "primary":
                if (!control.enabled)
                    return Theme.disabledFill;
                return down ? Theme.primaryDown : hover ? Theme.primaryHover : Theme.primary;
            case "secondary":
                if (!control.enabled)
                    return Theme.disabledFill;
                return down ? Theme.secondaryDown : hover ? Theme.secondaryHover : Theme.secondary;
            case "chrome":
                if (control.danger && (down || hover))
                    return Theme.error;
                return down ? "#33fdfdf2" : hover ? "#22fdfdf2" : "transparent";
            default:
                return down ? Theme.secondaryDown : hover ? Theme.secondaryHover : "transparent";
            }
        }
        border.width: control.look === "secondary" || (control.look === "primary" && !control.enabled) ? 1 : 0
        border.color: control.enabled ? Theme.secondaryBorder : Theme.disabledBorder

        // Keyboard focus ring, outside the button so that it never hides
        // the button's own edge.
        FocusRing {
            radius: parent.radius + gap
            shown: control.visualFocus
        }
    }

    ToolTip {
        id: tipPopup
        parent: control
        visible: control.tip !== "" && control.hovered
        delay: 700
        timeout: 6000
        text: control.tip
        margins: 6
        width: Math.min(implicitWidth, 240)
        x: (control.width - width) / 2
        y: control.tipBelow ? control.height + 6 : -implicitHeight - 6
        font.family: Theme.font
        font.pixelSize: Theme.small
        contentItem: Text {
            text: tipPopup.text
            font: tipPopup.font
            color: Theme.offWhite
            wrapMode: Text.WordWrap
        }
        background: Rectangle {
            color: Theme.textGreen
            radius: 4
            border.color: Theme.yellowGreen
            border.width: 1
        }
    }
}
