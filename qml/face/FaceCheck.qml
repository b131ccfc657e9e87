import QtQuick
import QtQuick.Controls.Basic

// A check box in the face's style; Space toggles it.
CheckBox {
    id: control

    property string tip

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
        color: !control.enabled ? Theme.disabledFill : control.checked ? Theme.darkGreen : Theme.offWhite
        border.width: control.checked ? 0 : 1.5
        border.color: !control.enabled ? Theme.disabledBorder : control.hovered ? Theme.darkGreen : Theme.textSoft

        FaceIcon {
            anchors.fill: parent
            anchors.margins: 1
            name: "check"
            stroke: 3
            color: Theme.offWhite
            visible: control.checked
        }
    }

    contentItem: Text {
        leftPadding: control.indicator.width + control.spacing
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.enabled ? Theme.text : Theme.textDisabled
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        color: control.hovered && control.enabled ? Theme.paleGreen : "transparent"
        radius: 4
        border.width: control.visualFocus ? 2 : 0
        border.color: Theme.focus
    }

    ToolTip {
        parent: control
        visible: control.tip !== "" && control.hovered
        delay: 700
        timeout: 6000
        text: control.tip
        margins: 6
        y: control.height + 4
        font.family: Theme.font
        font.pixelSize: Theme.small
        contentItem: Text {
            text: control.tip
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
