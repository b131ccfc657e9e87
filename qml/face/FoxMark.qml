// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The Tidyfox mark: a fox's head folded from a few flat planes. The same
// shapes make the program's icon (data/tidyfox.svg); both are drawn on a
// 100 x 100 grid.
Canvas {
    id: mark

    property color fur: Theme.fox
    property color dark: Theme.foxDark
    property color light: Theme.offWhite

    implicitWidth: 48
    implicitHeight: 48
    antialiasing: true

    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()

    onPaint: {
        const ctx = getContext("2d");
        ctx.reset();
        if (width <= 0 || height <= 0)
            return;
        ctx.scale(width / 100, height / 100);

        function shape(points, colour) {
            ctx.beginPath();
            ctx.moveTo(points[0], points[1]);
            for (let i = 2; i < points.length; i += 2)
                ctx.lineTo(points[i], points[i + 1]);
            ctx.closePath();
            ctx.fillStyle = colour;
            ctx.fill();
        }

        // Head and ears.
        shape([8, 6, 35, 29, 65, 29, 92, 6, 91, 47, 50, 95, 9, 47], fur);
        // Inside of the ears.
        shape([15, 17, 29, 30, 16, 39], dark);
        shape([85, 17, 71, 30, 84, 39], dark);
        // Cheeks.
        shape([9, 47, 37, 57, 50, 95], light);
        shape([91, 47, 63, 57, 50, 95], light);
        // Eyes.
        shape([29, 44, 40, 47, 33, 50], dark);
        shape([71, 44, 60, 47, 67, 50], dark);
        // Nose.
        shape([43, 83, 57, 83, 50, 95], dark);
    }
}
