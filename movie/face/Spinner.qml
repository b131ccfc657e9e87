import QtQuick

// The busy animation: a ring whose bright arc chases round while a long job
// runs. It stands still (and is normally hidden) when not running.
Item {
    id: spinner

    property bool running: false
    property color color: Theme.darkGreen
    property color track: Theme.paleGreen

    implicitWidth: 22
    implicitHeight: 22

    Canvas {
        id: ring
        anchors.fill: parent
        antialiasing: true
        onWidthChanged: requestPaint()
        onPaint: {
            const ctx = getContext("2d");
            ctx.reset();
            const r = Math.min(width, height) / 2 - 2;
            ctx.lineWidth = 3;
            ctx.lineCap = "round";
            ctx.strokeStyle = spinner.track;
            ctx.beginPath();
            ctx.arc(width / 2, height / 2, r, 0, 2 * Math.PI);
            ctx.stroke();
            ctx.strokeStyle = spinner.color;
            ctx.beginPath();
            ctx.arc(width / 2, height / 2, r, -0.5 * Math.PI, 0.25 * Math.PI);
            ctx.stroke();
            ctx.fillStyle = Theme.fox;
            ctx.beginPath();
            ctx.arc(width / 2 + r * Math.cos(0.25 * Math.PI), height / 2 + r * Math.sin(0.25 * Math.PI), 2.2, 0,
                    2 * Math.PI);
            ctx.fill();
        }

        RotationAnimator on rotation {
            running: spinner.running && spinner.visible
            from: 0
            to: 360
            duration: 1100
            loops: Animation.Infinite
        }
    }
}
