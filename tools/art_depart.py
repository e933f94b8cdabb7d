import math, random
from art_lib import *

W, H = 130, 71
HOR = 47  # horizon row


def build():
    cv = Canvas(W, H)
    rnd = random.Random(7)

    # --- sky: cartoon clouds (white body, dotted rim, flat dashed base)
    def cloud(cx, cy, s):
        parts = [ellipse(cx, cy, 8 * s, 2.0 * s), ellipse(cx - 7 * s, cy + 0.9 * s, 5.5 * s, 1.3 * s),
                 ellipse(cx + 7 * s, cy + 0.7 * s, 6 * s, 1.5 * s), ellipse(cx + 2 * s, cy - 1.2 * s, 4.5 * s, 1.6 * s)]
        base = cy + 1.6 * s
        f = lambda x, y: y <= base and any(p(x, y) for p in parts)
        cv.shape(f, const(0), outline=1, bbox=(cx - 16 * s, cy - 5 * s, cx + 16 * s, cy + 4 * s))
        cv.shape(lambda x, y: base - 0.7 <= y <= base and any(p(x, y) for p in parts), const(2),
                 bbox=(cx - 16 * s, cy - 5 * s, cx + 16 * s, cy + 4 * s))

    cloud(19, 6, 1.2)
    cloud(104, 4, 1.0)
    cloud(121, 13, 0.6)
    # two birds
    cv.text(24, 14, "-.-")
    cv.text(30, 12, "--.--")
    cv.text(96, 20, "-.-")

    # --- hills behind the horizon: a far range (rim only) and a nearer one (dotted)
    def far_h(x):
        return 8.5 * math.exp(-((x - 18) / 13) ** 2) + 6.0 * math.exp(-((x - 108) / 14) ** 2) \
            + 3.0 * math.exp(-((x - 0) / 8) ** 2) + 0.5 * math.sin(x / 2.3)

    def near_h(x):
        return 4.0 * math.exp(-((x - 30) / 12) ** 2) + 3.2 * math.exp(-((x - 124) / 10) ** 2) \
            + 1.2 * math.exp(-((x - 90) / 8) ** 2) + 0.3 * math.sin(x / 1.7)

    cv.shape(lambda x, y: HOR - far_h(x) <= y <= HOR, const(0), outline=1, bbox=(0, HOR - 12, W, HOR + 1))
    cv.shape(lambda x, y: HOR - near_h(x) <= y <= HOR, lambda x, y: 0.6 + 0.25 * (y - HOR + near_h(x)),
             outline=2, dither=True, bbox=(0, HOR - 8, W, HOR + 1))
    # --- ground: sparse speckle getting denser towards the viewer
    def ground_shade(x, y):
        d = (y - HOR) / (H - HOR)
        return 0.05 + 0.55 * d * d

    cv.shape(lambda x, y: y > HOR, ground_shade, dither=True, bbox=(0, HOR, W, H))
    for c in range(W):
        cv.put(c, HOR, "-")
    # tufts of grass
    for _ in range(40):
        c = rnd.randrange(W)
        r = rnd.randrange(HOR + 3, H)
        if r > HOR + 10:
            cv.text(c - 1, r, ".+." if r > HOR + 17 else "-")
        else:
            cv.put(c, r, "-")

    # --- the prism pole in the distance, right of the instrument
    px = 105
    pole_foot = HOR + 5
    cv.shape(rect(px + 0.05, HOR - 12, px + 0.95, pole_foot), const(4), bbox=(px - 2, HOR - 14, px + 2, pole_foot + 1))
    # bipod struts
    cv.shape(line(px, HOR - 5, px - 4.5, pole_foot + 0.5, 0.7), const(3), bbox=(px - 7, HOR - 6, px + 1, pole_foot + 1))
    cv.shape(line(px, HOR - 5, px + 4, pole_foot - 0.3, 0.7), const(3), bbox=(px - 1, HOR - 6, px + 6, pole_foot + 1))
    # prism canister
    cv.shape(ellipse(px, HOR - 14, 3.6, 1.9), const(4), bbox=(px - 5, HOR - 17, px + 5, HOR - 11))
    cv.shape(ellipse(px - 0.3, HOR - 14.2, 2.0, 1.0), const(1.5), bbox=(px - 5, HOR - 17, px + 5, HOR - 11))
    cv.put(px - 1, HOR - 15, ".")
    cv.shape(rect(px - 2.5, HOR - 17.2, px + 2.5, HOR - 16.2), const(3), bbox=(px - 4, HOR - 18, px + 4, HOR - 15))

    # --- tripod legs (drawn before the head so the head overlaps them)
    head_y = 37.0
    legs = [
        # (top x, top y, foot x, foot y, width top, width bottom)
        (56.0, head_y, 47.0, 57.0, 4.4, 3.0),   # rear leg, shorter (further away)
        (48.0, head_y, 22.0, 66.0, 7.0, 4.6),   # front left
        (70.0, head_y, 98.0, 66.0, 7.0, 4.6),  # front right
    ]
    for i, (ax, ay, bx, by, wa, wb) in enumerate(legs):
        mid_t = 0.55
        mx, my = ax + (bx - ax) * mid_t, ay + (by - ay) * mid_t
        dark = 0.0 if i else 0.5
        # upper wooden section: lit left edge, darker right
        ang = math.atan2((by - ay) * ASPECT, bx - ax)
        nx, ny = -math.sin(ang), math.cos(ang)

        def wood(x, y, ax=ax, ay=ay, nx=nx, ny=ny, wa=wa, dark=dark):
            side = ((x - ax) * nx + (y - ay) * ASPECT * ny) / (wa / 2)
            return min(4, 2.6 + 0.9 * side + dark)

        cv.shape(taper(ax, ay, mx, my, wa, wa * 0.85), wood, outline=4, bbox=bbox_pts([(ax, ay), (mx, my)], 4))
        # lower sliding section (metal, thinner)
        def metal(x, y, mx=mx, my=my, nx=nx, ny=ny, wb=wb, dark=dark):
            side = ((x - mx) * nx + (y - my) * ASPECT * ny) / (wb / 2)
            return min(4, 1.6 + 1.2 * side + dark)

        cv.shape(taper(mx, my, bx, by, wb, wb * 0.8), metal, outline=4, bbox=bbox_pts([(mx, my), (bx, by)], 4))
        # clamp
        cx_, cy_ = ax + (bx - ax) * (mid_t - 0.02), ay + (by - ay) * (mid_t - 0.02)
        cv.shape(line(cx_ - wa * 0.42, cy_, cx_ + wa * 0.42, cy_, 1.6), const(4), bbox=(cx_ - 5, cy_ - 3, cx_ + 5, cy_ + 3))
        # spiked foot
        fx, fy = bx + (bx - ax) * 0.06, by + (by - ay) * 0.06
        cv.shape(taper(bx, by, fx, fy, wb * 0.8, 0.3), const(4), bbox=bbox_pts([(bx, by), (fx, fy)], 3))
        # foot peg
        cv.shape(line(bx - 1.5, by - 1.2, bx + 1.5, by - 1.2, 0.8), const(4), bbox=bbox_pts([(bx, by)], 4))

    # plumb line and survey marker under the head
    for r in range(int(head_y) + 3, 58):
        cv.put(59, r, ":" if False else ".")
    cv.shape(poly([(57.5, 57.5), (60.5, 57.5), (59, 59.8)]), const(3.5), bbox=(55, 56, 63, 61))
    cv.shape(ellipse(59, 62.5, 3.2, 0.9), const(3), bbox=(54, 60, 64, 65))
    cv.put(59, 62, "#")

    # --- tripod head: a flat disc seen slightly from above, with its rim
    head = ["~~~.-------------------------------.~~~",
            "~.-#...............................#-.~",
            "#######################################",
            "#....------------++++++++++++##########",
            "~#####################################~"]
    for i, t in enumerate(head):
        cv.text(40, 35 + i, t)
    # --- tribrach: body, three foot screws, upper plate
    ty = 33.5
    cv.shape(poly([(47, ty - 1.2), (71, ty - 1.2), (72, ty + 2.4), (46, ty + 2.4)]),
             lambda x, y: 1.6 + 2.2 * (x - 46) / 26, dither=True, bbox=(44, ty - 3, 74, ty + 3))
    cv.shape(poly([(45, ty + 2.6), (73, ty + 2.6), (70, ty + 1.5), (48, ty + 1.5)]), const(4),
             bbox=(43, ty - 1, 75, ty + 4))
    for sx in (48.5, 59, 69.5):
        cv.shape(rrect(sx - 2.2, ty - 1.3, sx + 2.2, ty + 1.9, 1.0),
                 lambda x, y, sx=sx: 1.0 if x < sx - 0.5 else (2.5 if x < sx + 1 else 3.6), outline=4,
                 bbox=(sx - 3, ty - 3, sx + 3, ty + 3))
        # knurling
        cv.put(int(sx), int(ty), "-")
    cv.shape(rect(47, ty - 2.2, 71, ty - 1.2), lambda x, y: 1.5 + 2 * (x - 47) / 24, outline=4,
             bbox=(45, ty - 4, 73, ty))

    # --- alidade base housing with display and keyboard
    by0, by1 = 22.0, 31.2
    bx0, bx1 = 39.0, 80.0

    def housing(x, y):
        return 1.3 + 1.4 * (x - bx0) / (bx1 - bx0) + 0.6 * (y - by0) / (by1 - by0)

    cv.shape(rrect(bx0, by0, bx1, by1, 2.5), housing, outline=4, bbox=(bx0, by0, bx1, by1))
    # rotating base ring under the housing
    cv.shape(rrect(44, by1 - 0.2, 75, by1 + 1.2, 1.0), lambda x, y: 3.0, outline=4, bbox=(43, by1 - 1, 76, by1 + 2))
    # display
    cv.shape(rect(42.5, 23.5, 59.5, 29.5), const(0), outline=4, bbox=(41, 22, 61, 31))
    cv.text(44, 24, "+--+ ---- ---")
    cv.text(44, 25, "  -- ---.--- ")
    cv.text(44, 26, "  --   ---.--")
    cv.text(44, 27, "  ..  -- ..-.")
    cv.text(44, 28, " [##] [##]".replace("[", "-").replace("]", "-"))
    # keyboard: rows of keys
    for kr, r in enumerate((24, 26, 28)):
        for kc in range(4):
            c = 62 + kc * 4
            cv.text(c, r, "##" if (kr + kc) % 3 else "++")
    cv.text(62, 29, "..............")

    # --- the standard (upright) with the telescope through it
    sx0, sx1 = 48.0, 70.0
    sy0, sy1 = 8.0, 22.3
    # telescope behind the standard: a cylinder along the line of sight
    tcy = 14.5
    tr = 3.1  # radius in rows

    def scope_shade(x, y):
        t = (y - (tcy - tr)) / (2 * tr)  # 0 at top, 1 at bottom
        return [1.0, 0.6, 1.2, 2.2, 3.0, 3.8][min(5, max(0, int(t * 6)))]

    # eyepiece tube (left, thinner) and eyepiece cup
    cv.shape(rect(30, tcy - 1.7, 48, tcy + 1.7), scope_shade, outline=4, bbox=(28, tcy - 3, 49, tcy + 3))
    cv.shape(rrect(25.5, tcy - 2.4, 31.5, tcy + 2.4, 1.5), lambda x, y: 2.0 if y < tcy else 3.4, outline=4,
             bbox=(24, tcy - 4, 33, tcy + 4))
    cv.shape(rect(31.5, tcy - 2.0, 33, tcy + 2.0), const(4), bbox=(30, tcy - 3, 34, tcy + 3))
    # objective side (right): wide tube with a flared lens hood
    cv.shape(poly([(70, tcy - tr), (86, tcy - tr - 0.4), (86, tcy + tr + 0.4), (70, tcy + tr)]), scope_shade, outline=4,
             bbox=(69, tcy - 5, 87, tcy + 5))
    cv.shape(poly([(86, tcy - tr - 0.4), (92, tcy - tr - 1.3), (92, tcy + tr + 1.3), (86, tcy + tr + 0.4)]),
             lambda x, y: scope_shade(x, y) + 0.4, outline=4, bbox=(85, tcy - 6, 93, tcy + 6))
    # objective lens seen almost edge-on
    cv.shape(ellipse(92.2, tcy, 1.6, tr + 1.2), lambda x, y: 0.6 if y < tcy - 1 else 1.6, outline=4,
             bbox=(89, tcy - 6, 95, tcy + 6))
    # focusing ring
    cv.shape(rect(76, tcy - tr - 0.3, 78.5, tcy + tr + 0.3), const(4), bbox=(75, tcy - 5, 80, tcy + 5))
    # the sighting collimator on top of the telescope
    cv.shape(rect(74, tcy - tr - 1.4, 82, tcy - tr - 0.3), lambda x, y: 1.4 if x < 81 else 3, outline=4,
             bbox=(73, tcy - 7, 83, tcy - 2))

    # standard itself: rounded top, shaded as a box lit from the left
    def std_shade(x, y):
        return 1.0 + 1.9 * (x - sx0) / (sx1 - sx0) + (0.6 if y > 19 else 0)

    cv.shape(rrect(sx0, sy0, sx1, sy1, 4.0), std_shade, outline=4, bbox=(sx0, sy0, sx1, sy1))
    # carrying handle
    cv.shape(minus(rrect(50.5, 3.2, 67.5, 8.8, 3.5), rrect(53.0, 4.6, 65.0, 9.5, 2.0)),
             lambda x, y: 1.6 if y < 4.6 else 3.0, outline=4, bbox=(49, 2, 69, 10))
    # horizontal axis cap with the tilt drive knob
    cv.shape(ellipse(59, tcy, 5.2, 2.6), lambda x, y: 0.6 if (x - 59) + (y - tcy) * 2 < -2 else 2.4, outline=4,
             bbox=(52, tcy - 4, 66, tcy + 4))
    cv.shape(ellipse(59, tcy, 1.8, 0.9), const(4), bbox=(56, tcy - 2, 62, tcy + 2))
    # vertical drive knob on the side of the standard
    cv.shape(rrect(66, 18.0, 71.5, 21.2, 1.2), lambda x, y: 2 if y < 19.5 else 4, outline=4, bbox=(65, 17, 72, 22))
    # brand strip
    cv.text(50, 20, "-- ----")
    # laser plummet / optical plummet window at the tribrach
    return cv.render()


if __name__ == "__main__":
    for row in build():
        print(row + "|")
