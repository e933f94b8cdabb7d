import math
from art_lib import *

W, H = 124, 56
FONT = {
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
}


def word(cv, c, r, s, sx=2, gap=2, ink="#"):
    for i, ch in enumerate(s):
        g = FONT[ch]
        for gr in range(7):
            for gc, p in enumerate(g[gr]):
                if p == "#":
                    for k in range(sx):
                        cv.put(c + i * (5 * sx + gap) + gc * sx + k, r + gr, ink)


def build():
    cv = Canvas(W, H)

    # --- plain wall with a few bricks sketched in
    def bricks(c0, r0, layout):
        for i, row in enumerate(layout):
            for j, ch in enumerate(row):
                if ch != " ":
                    cv.put(c0 + j, r0 + i, ch)

    bricks(1, 1, ["..........-..........",
                  "    .      .      .  ",
                  "...-.......-.......-.",
                  "         .      .    ",
                  "     ......-.......  "])
    bricks(88, 2, ["   .......-.......-......",
                   "   .       .      .      ",
                   "...-.......-......-......",
                   "       .       .",
                   "       .........-..."])
    bricks(2, 30, ["......-.",
                   "    .   ",
                   "....-...",
                   "  .     ",
                   "..-....."])
    bricks(114, 24, ["..-......",
                     "  .    .",
                     "..-....-.",
                     "     .",
                     "...-....."])

    # --- number plate above the window
    cv.shape(rrect(46, 1.0, 78, 10.0, 3), const(0), outline=4, bbox=(45, 0, 79, 11))
    word(cv, 51, 2, "35", sx=2, gap=2)
    cv.put(48, 5, "+")
    cv.put(76, 5, "+")

    # --- window frame (lit from the upper left)
    fx0, fy0, fx1, fy1 = 12, 11.2, 112, 44
    cv.shape(rect(fx0, fy0, fx1, fy1), lambda x, y: 1.2 if (x - fx0) < 3 or (y - fy0) < 1.2 else 3.0,
             outline=4, bbox=(fx0, fy0, fx1, fy1))
    # shutter box at the top
    cv.shape(rect(16, 12.4, 108, 15.6), lambda x, y: 1.2 if y < 14 else 3.2, outline=4, bbox=(15, 12, 109, 16))

    # the rolling shutter, closed: each slat is a lit face, its shaded lower half and a groove
    def slat(x, y):
        return [0.0, 1.0, 2.0][int(y - 16) % 3]

    cv.shape(rect(16, 16, 108, 43), slat, bbox=(15, 16, 109, 43))
    # side guide rails
    cv.shape(rect(15, 15.6, 17, 43.4), const(4), bbox=(14, 15, 18, 44))
    cv.shape(rect(107, 15.6, 109, 43.4), const(4), bbox=(106, 15, 110, 44))

    # --- the hanging sign: hook, two cords, board with its shadow
    cv.shape(ellipse(62, 16.6, 1.6, 0.9), const(4), bbox=(59, 15, 65, 18))
    cv.shape(line(62, 17, 38, 19.6, 0.9), const(4), bbox=(36, 16, 63, 21))
    cv.shape(line(62, 17, 86, 19.6, 0.9), const(4), bbox=(61, 16, 88, 21))
    for r in range(20, 33):
        cv.put(97, r, "+")
        cv.put(98, r, "-")
    for c in range(32, 99):
        cv.put(c, 33, "+" if c < 98 else "-")
    cv.shape(rect(30, 19.8, 96, 32.8), const(0), outline=4, bbox=(29, 19, 97, 33))
    word(cv, 34, 23, "FERME", sx=2, gap=2)
    cv.put(38, 20, "+")
    cv.put(86, 20, "+")

    # --- counter ledge
    cv.shape(poly([(6, 46), (118, 46), (114, 43.4), (10, 43.4)]), lambda x, y: 0.6, outline=3, bbox=(5, 42, 119, 47))
    cv.shape(rect(6, 46, 118, 48), lambda x, y: 3.0 + 1.0 * (x > 100), outline=4, bbox=(5, 45, 119, 49))
    # panels under the counter
    cv.shape(rect(9, 48, 115, 56), lambda x, y: 1.5, dither=True, bbox=(8, 47, 116, 56))
    for px0 in (13, 49, 85):
        cv.shape(rect(px0, 49.6, px0 + 27, 58), lambda x, y: 0.2, outline=3, bbox=(px0 - 1, 48, px0 + 30, 56))
        cv.put(px0 + 24, 52, "#")

    # --- on the counter: an unplugged DB9 lead, side view, its cable running off the counter edge
    pts = []
    for i in range(31):
        t = i / 30.0
        pts.append((22 - 14 * t, 40.8 + 1.6 * t * t))
    pts += [(6.2, 43.6), (4.6, 46.5), (3.8, 49.5), (4.0, 52.5), (4.8, 55.6)]
    cable = union(*[line(ax, ay, bx, by, 4.4) for (ax, ay), (bx, by) in zip(pts, pts[1:])])
    halo = union(*[line(ax, ay, bx, by, 7.5) for (ax, ay), (bx, by) in zip(pts, pts[1:])])
    cv.shape(halo, const(0), bbox=(0, 36, 26, 56))
    cv.shape(cable, lambda x, y: 2.0, outline=4, bbox=(0, 36, 26, 56))
    cv.text(2, 55, "-+.+-")
    # strain relief, hood, flange, D shroud, pins
    cv.shape(rrect(17, 35, 52, 46, 2), const(0), bbox=(16, 34, 53, 46))
    cv.shape(taper(19, 40.8, 26, 40.8, 4.4, 6.0), const(3), outline=4, bbox=(17, 37, 27, 45))
    cv.shape(rrect(25, 36.8, 41, 44.6, 1.5), lambda x, y: 0.4 if y < 40 else 1.2, outline=4, bbox=(24, 35, 42, 46))
    cv.text(28, 39, "-- --.-")
    cv.shape(rect(41, 35.0, 43.2, 46.2), const(4), bbox=(40, 34, 44, 47))
    cv.shape(poly([(43.2, 37.6), (46.4, 38.2), (46.4, 43.4), (43.2, 44.0)]), const(2), outline=4, bbox=(42, 36, 47, 45))
    for r in (39, 41, 42):
        cv.text(47, r, "--" if r != 41 else "---")
    # knurled thumb screw heads behind the flange
    cv.shape(rect(37, 35.0, 41, 36.2), const(3), bbox=(36, 34, 42, 37))
    cv.shape(rect(37, 45.0, 41, 46.2), const(3), bbox=(36, 44, 42, 47))

    # the port it belongs in: a female DB9 socket on a small panel, seen from the front
    cv.shape(rrect(56, 33.4, 85, 46.4, 2), const(0), bbox=(55, 33, 86, 47))
    cv.shape(rrect(58, 34.6, 83, 45.2, 2), lambda x, y: 1.0, outline=4, bbox=(57, 33, 84, 46))
    cv.shape(poly([(61.5, 36.6), (79.5, 36.6), (76.5, 43.4), (64.5, 43.4)]), const(0), outline=4, bbox=(60, 35, 81, 44))
    cv.text(64, 39, "#.#.#.#.#")
    cv.text(65, 41, "#.#.#.#")
    cv.text(59, 40, "+")
    cv.text(81, 40, "+")
    # a gap with a little question of sparks between plug and port
    cv.text(51, 38, ".")
    cv.text(53, 37, "-")
    cv.text(51, 44, ".")
    cv.text(53, 45, "-")

    # --- a service bell at the right of the counter
    cv.shape(rrect(89, 35, 109, 46, 2), const(0), bbox=(88, 34, 110, 46))
    cv.shape(rect(91, 43.2, 107, 44.6), const(4), bbox=(90, 42, 108, 45))
    cv.shape(lambda x, y: y <= 43.2 and ellipse(99, 43.2, 7.0, 4.4)(x, y),
             lambda x, y: 0.3 if (x - 99) + (y - 40) * 2 < -3 else (1.6 if x < 101 else 3.0), outline=4,
             bbox=(91, 37, 107, 44))
    cv.shape(rect(98.4, 37.4, 99.6, 39.2), const(4), bbox=(97, 36, 101, 40))
    cv.shape(rect(96.6, 36.4, 101.4, 37.4), const(4), bbox=(96, 35, 102, 38))
    return cv.render()


if __name__ == "__main__":
    for row in build():
        print(row + "|")
