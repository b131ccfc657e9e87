// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The face's small line icons, drawn here rather than loaded so that the face
// needs no image plugins and scales cleanly. Every icon is drawn on a 24 x 24
// grid and scaled to the item's size.
Canvas {
    id: icon

    property string name
    property color color: "black"
    property real stroke: 2

    implicitWidth: 20
    implicitHeight: 20
    antialiasing: true

    onNameChanged: requestPaint()
    onColorChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d");
        ctx.reset();
        if (width <= 0 || height <= 0)
            return;
        ctx.scale(width / 24, height / 24);
        ctx.strokeStyle = color;
        ctx.fillStyle = color;
        ctx.lineWidth = stroke;
        ctx.lineCap = "round";
        ctx.lineJoin = "round";

        function roundRect(x, y, w, h, r) {
            ctx.beginPath();
            ctx.moveTo(x + r, y);
            ctx.lineTo(x + w - r, y);
            ctx.arcTo(x + w, y, x + w, y + r, r);
            ctx.lineTo(x + w, y + h - r);
            ctx.arcTo(x + w, y + h, x + w - r, y + h, r);
            ctx.lineTo(x + r, y + h);
            ctx.arcTo(x, y + h, x, y + h - r, r);
            ctx.lineTo(x, y + r);
            ctx.arcTo(x, y, x + r, y, r);
            ctx.closePath();
        }
        function line(x1, y1, x2, y2) {
            ctx.beginPath();
            ctx.moveTo(x1, y1);
            ctx.lineTo(x2, y2);
            ctx.stroke();
        }
        function circle(x, y, r) {
            ctx.beginPath();
            ctx.arc(x, y, r, 0, 2 * Math.PI);
        }
        function note(x, y) {
            // A quaver: head, stem and flag.
            ctx.beginPath();
            ctx.ellipse(x - 3.2, y - 2.4, 6.4, 4.8);
            ctx.fill();
            line(x + 2.6, y, x + 2.6, y - 12);
            line(x + 2.6, y - 12, x + 7, y - 9);
        }

        switch (name) {
        case "duplicates":
            // Two copies of one track, the second one marked for removal.
            roundRect(3, 3, 12, 14, 2);
            ctx.stroke();
            roundRect(9, 8, 12, 13, 2);
            ctx.save();
            ctx.globalAlpha = 0.25;
            ctx.fill();
            ctx.restore();
            ctx.stroke();
            line(12.5, 14.5, 17.5, 14.5);
            break;
        case "deadtrack":
            note(8, 19);
            line(14, 8, 21, 15);
            line(21, 8, 14, 15);
            break;
        case "view":
            ctx.beginPath();
            ctx.moveTo(2, 12);
            ctx.quadraticCurveTo(12, 2, 22, 12);
            ctx.quadraticCurveTo(12, 22, 2, 12);
            ctx.closePath();
            ctx.stroke();
            circle(12, 12, 3.2);
            ctx.fill();
            break;
        case "delete":
            line(4, 6, 20, 6);
            line(9.5, 6, 10, 3);
            line(10, 3, 14, 3);
            line(14, 3, 14.5, 6);
            ctx.beginPath();
            ctx.moveTo(6, 6);
            ctx.lineTo(7.2, 21);
            ctx.lineTo(16.8, 21);
            ctx.lineTo(18, 6);
            ctx.stroke();
            line(10, 10, 10.3, 17);
            line(14, 10, 13.7, 17);
            break;
        case "refresh":
            ctx.beginPath();
            ctx.arc(12, 12, 7.5, -0.35 * Math.PI, 1.25 * Math.PI);
            ctx.stroke();
            // Arrow head at the open end, pointing along the turn.
            ctx.beginPath();
            ctx.moveTo(13.2, 1.8);
            ctx.lineTo(18.6, 5.2);
            ctx.lineTo(13.4, 8.6);
            ctx.closePath();
            ctx.fill();
            break;
        case "help":
        case "about":
        case "info":
            circle(12, 12, 9.5);
            ctx.stroke();
            if (name === "help") {
                ctx.beginPath();
                ctx.arc(12, 9.5, 3.2, 1.05 * Math.PI, 2.3 * Math.PI);
                ctx.quadraticCurveTo(12, 12.6, 12, 14);
                ctx.stroke();
                circle(12, 17.6, 1.3);
                ctx.fill();
            } else {
                circle(12, 7.4, 1.4);
                ctx.fill();
                line(12, 11, 12, 17.5);
            }
            break;
        case "warning":
            ctx.beginPath();
            ctx.moveTo(12, 2.5);
            ctx.lineTo(22, 20.5);
            ctx.lineTo(2, 20.5);
            ctx.closePath();
            ctx.stroke();
            line(12, 9, 12, 14);
            circle(12, 17.3, 1.3);
            ctx.fill();
            break;
        case "error":
            circle(12, 12, 9.5);
            ctx.stroke();
            line(8.5, 8.5, 15.5, 15.5);
            line(15.5, 8.5, 8.5, 15.5);
            break;
        case "minimise":
            line(6, 16, 18, 16);
            break;
        case "maximise":
            roundRect(6, 6, 12, 12, 1.5);
            ctx.stroke();
            break;
        case "restore":
            roundRect(5, 9, 10, 10, 1.5);
            ctx.stroke();
            line(9, 5, 19, 5);
            line(19, 5, 19, 15);
            break;
        case "down":
            ctx.beginPath();
            ctx.moveTo(6, 9);
            ctx.lineTo(12, 15);
            ctx.lineTo(18, 9);
            ctx.stroke();
            break;
        case "search":
            circle(10.5, 10.5, 6);
            ctx.stroke();
            line(15, 15, 20, 20);
            break;
        case "close":
            line(6.5, 6.5, 17.5, 17.5);
            line(17.5, 6.5, 6.5, 17.5);
            break;
        case "check":
            ctx.beginPath();
            ctx.moveTo(5, 12.5);
            ctx.lineTo(10, 17.5);
            ctx.lineTo(19, 7);
            ctx.stroke();
            break;
        case "library":
            note(7, 19);
            line(15, 6, 21, 6);
            line(15, 11, 21, 11);
            line(15, 16, 21, 16);
            break;
        }
    }
}
