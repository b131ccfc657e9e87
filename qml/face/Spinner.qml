// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The busy animation: a ring of dots whose bright head steps round while a
// long job runs.
//
// It moves in steps from a timer, ten a second, not with a per-frame
// animation: the program's long jobs yield to the event loop thousands of
// times, and every yield would otherwise render a new frame of the face.
// Ten frames a second keep the work fast and the ring visibly alive.
Item {
    id: spinner

    property bool running: false
    property color color: Theme.darkGreen
    property color head: Theme.fox
    property int dots: 8
    property real dotSize: Math.max(2, Math.min(width, height) / 7)

    implicitWidth: 22
    implicitHeight: 22

    Canvas {
        id: ring
        anchors.fill: parent
        antialiasing: true
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d");
            ctx.reset();
            const r = Math.min(width, height) / 2 - spinner.dotSize / 2 - 1;
            for (let i = 0; i < spinner.dots; ++i) {
                // The head at the top, the tail fading behind it.
                const angle = -Math.PI / 2 - i * 2 * Math.PI / spinner.dots;
                ctx.globalAlpha = i === 0 ? 1 : Math.max(0.15, 1 - i / spinner.dots);
                ctx.fillStyle = i === 0 ? spinner.head : spinner.color;
                ctx.beginPath();
                const size = i === 0 ? spinner.dotSize * 1.15 : spinner.dotSize;
                ctx.arc(width / 2 + r * Math.cos(angle), height / 2 + r * Math.sin(angle), size / 2, 0, 2 * Math.PI);
                ctx.fill();
            }
        }
    }

    Timer {
        interval: 100
        repeat: true
        running: spinner.running && spinner.visible
        onTriggered: ring.rotation = (ring.rotation + 360 / spinner.dots) % 360
    }
}
