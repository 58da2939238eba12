#!/usr/bin/python3
"""Writes the start picture and the help pictures (HP-GL, 160 x 120 mm) and their catalogue
qern.dbh into data/. The serration geometry is computed with the program's own formulas: spaces
and teeth bounded by straight flanks, the root rounded by the tool's tip radius, the measuring
pins touching both flanks.

    /usr/bin/python3 scripts/hpglpictures.py [target folder]
"""
import math
import os
import sys

UNITS = 40  # plotter units per millimetre
WIDTH, HEIGHT = 160.0, 120.0
ETX = "\x03"


# ---------------------------------------------------------------------------------------------
# HP-GL output

class Plot:
    """Collects the commands of one picture; coordinates in millimetres."""

    def __init__(self):
        self.cmds = ["IN;", "SP1;"]
        self.size = None
        self.direction = (1, 0)

    @staticmethod
    def u(v):
        return int(round(v * UNITS))

    def xy(self, p):
        x, y = p
        assert -0.01 <= x <= WIDTH + 0.01 and -0.01 <= y <= HEIGHT + 0.01, p
        return "%d,%d" % (self.u(x), self.u(y))

    def pen(self, n):
        self.cmds.append("SP%d;" % n)

    def polyline(self, pts):
        pts = list(pts)
        self.cmds.append("PU%s;" % self.xy(pts[0]))
        self.cmds.append("PD%s;" % ",".join(self.xy(p) for p in pts[1:]))
        self.cmds.append("PU;")

    def encoded_polyline(self, pts):
        """The same as polyline as an HP-GL/2 encoded polyline (base 64, relative)."""
        pts = list(pts)
        self.cmds.append("PU%s;" % self.xy(pts[0]))
        x0, y0 = self.u(pts[0][0]), self.u(pts[0][1])
        body = []
        for p in pts[1:]:
            self.xy(p)
            x, y = self.u(p[0]), self.u(p[1])
            body.append(pe_number(x - x0) + pe_number(y - y0))
            x0, y0 = x, y
        self.cmds.append("PE" + "".join(body) + ";")
        self.cmds.append("PU;")

    def line(self, a, b):
        self.polyline([a, b])

    def circle(self, c, r):
        self.cmds.append("PU%s;CI%d;" % (self.xy(c), self.u(r)))

    def arc(self, c, r, a0, a1):
        """Arc about c from angle a0 to a1 (degrees, counter-clockwise when a1 > a0)."""
        if not (0 <= c[0] <= WIDTH and 0 <= c[1] <= HEIGHT):
            self.polyline(arc_points(c, r, a0, a1, 0.5))  # its centre lies off the sheet
            return
        start = polar(c, r, a0)
        self.xy(polar(c, r, a1))
        self.cmds.append("PU%s;PD;AA%s,%s;PU;" % (self.xy(start), self.xy(c), fmt(a1 - a0)))

    def dashed(self, pts, pattern=(6.0, 1.2, 0.6, 1.2)):
        """A dash-dot line along pts (the centre and pitch lines)."""
        segs = []
        k, left, down, cur = 0, pattern[0], True, [pts[0]]
        for a, b in zip(pts, pts[1:]):
            length = dist(a, b)
            pos = 0.0
            while length - pos > left:
                pos += left
                q = lerp(a, b, pos / length)
                if down:
                    cur.append(q)
                    segs.append(cur)
                cur = [q]
                down = not down
                k = (k + 1) % len(pattern)
                left = pattern[k]
            left -= length - pos
            if down:
                cur.append(b)
            else:
                cur = [b]
        if down and len(cur) > 1:
            segs.append(cur)
        for s in segs:
            self.polyline(s)

    def label(self, p, text, size=(0.15, 0.22), direction=(1, 0), centred=False):
        if not text:
            return
        if size != self.size:
            self.cmds.append("SI%s,%s;" % (fmt(size[0]), fmt(size[1])))
            self.size = size
        if direction != self.direction:
            self.cmds.append("DI%s,%s;" % (fmt(direction[0]), fmt(direction[1])))
            self.direction = direction
        if centred:
            w = text_width(text, size)
            h = size[1] * 10
            n = math.hypot(*direction)
            ux, uy = direction[0] / n, direction[1] / n
            p = (p[0] - ux * w / 2 + uy * h / 2, p[1] - uy * w / 2 - ux * h / 2)
        if direction == (1, 0):
            assert p[0] + text_width(text, size) <= WIDTH + 0.5, (p, text)
        self.cmds.append("PU%s;LB" % self.xy(p))
        self.cmds.append(text.encode("cp850") + ETX.encode())

    def arrow(self, tip, towards, length=2.5, spread=12.0):
        """Open arrow head at tip, its shaft pointing to towards."""
        ang = math.degrees(math.atan2(towards[1] - tip[1], towards[0] - tip[0]))
        self.polyline([polar(tip, length, ang + spread), tip, polar(tip, length, ang - spread)])

    def dimension(self, a, b, text, offset=(0, 0), size=(0.15, 0.22)):
        """Dimension line a-b with arrows at both ends and its text beside the middle."""
        self.line(a, b)
        self.arrow(a, b)
        self.arrow(b, a)
        m = lerp(a, b, 0.5)
        self.label((m[0] + offset[0], m[1] + offset[1]), text, size)

    def arc_dimension(self, c, r, a0, a1, text="", offset=(0, 0), size=(0.15, 0.22)):
        """Angle or arc-length dimension on the arc about c with arrows at both ends."""
        self.arc(c, r, a0, a1)
        s, e = polar(c, r, a0), polar(c, r, a1)
        step = 1.0 if a1 > a0 else -1.0
        self.arrow(s, polar(c, r, a0 + step * math.degrees(2.0 / r)))
        self.arrow(e, polar(c, r, a1 - step * math.degrees(2.0 / r)))
        m = polar(c, r, (a0 + a1) / 2)
        self.label((m[0] + offset[0], m[1] + offset[1]), text, size)

    def data(self):
        # Labels are code page 850; everything else (the encoded numbers too) is single bytes.
        return b"".join(c if isinstance(c, bytes) else c.encode("latin-1")
                        for c in self.cmds + ["PU;SP0;\r\n"])


def fmt(v):
    s = ("%.3f" % v).rstrip("0").rstrip(".")
    return "0" if s == "-0" else s


def text_width(text, size):
    return len(text) * size[0] * 10 * 1.5


def pe_number(v):
    """An HP-GL/2 encoded number (8-bit mode): sign in the lowest bit, base 64, low group first."""
    n = 2 * abs(v) + (1 if v < 0 else 0)
    s = ""
    while n >= 64:
        s += chr(63 + (n & 63))
        n >>= 6
    return s + chr(191 + n)


# ---------------------------------------------------------------------------------------------
# Plane geometry

def polar(c, r, deg):
    a = math.radians(deg)
    return (c[0] + r * math.cos(a), c[1] + r * math.sin(a))


def dist(a, b):
    return math.hypot(b[0] - a[0], b[1] - a[1])


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


def angle_of(c, p):
    return math.degrees(math.atan2(p[1] - c[1], p[0] - c[0]))


def arc_points(c, r, a0, a1, step=3.0):
    n = max(2, int(abs(a1 - a0) / step) + 1)
    return [polar(c, r, a0 + (a1 - a0) * i / (n - 1)) for i in range(n)]


# ---------------------------------------------------------------------------------------------
# Serration geometry (lengths in mm, angles in radians unless named deg)

class Serration:
    """Shaft (part 1) and hub (part 2) of one straight-flanked serration. Tip circles keep the
    radial clearance c * mn from the other part's root; cp is the flank clearance."""

    def __init__(self, z, mn, alpha_deg, x=0.0, rho=0.25, c=0.3, cp=0.0):
        self.z, self.mn = z, mn
        self.alpha = math.radians(alpha_deg)
        self.ge = 2 * self.alpha                       # gamma e: flanks of the shaft's space
        self.gi = self.ge - 2 * math.pi / z            # gamma i: flanks of the shaft's tooth
        self.pn = math.pi * mn
        self.d = z * mn
        self.r = self.d / 2
        self.x1 = x
        self.sn1 = mn * (math.pi / 2 + 2 * x * math.tan(self.alpha))
        self.en1 = self.pn - self.sn1
        self.en2 = self.sn1 + cp                       # hub space: shaft tooth plus cp
        self.cp = cp
        self.rho = rho * mn
        t1, t2 = self.en1 / self.d, self.en2 / self.d
        r = self.r
        # Where the straight flanks of a space meet, and the root the tool's tip radius makes.
        self.apex1 = r * math.cos(t1) - r * math.sin(t1) / math.tan(self.ge / 2)
        self.rf1 = self.apex1 + self.rho * (1 / math.sin(self.ge / 2) - 1)
        self.apex2 = r * math.cos(t2) + r * math.sin(t2) / math.tan(self.gi / 2)
        self.rf2 = self.apex2 + self.rho * (1 - 1 / math.sin(self.gi / 2))
        self.ra1 = self.rf2 - c * mn
        self.ra2 = self.rf1 + c * mn

    def pitch_deg(self):
        return 360.0 / self.z

    def space1(self, phi_deg, c=(0, 0), s=1.0):
        """Shaft space centred at phi: points from the tip on its clockwise side down the flank,
        round the root and up to the tip on the other side."""
        return self._space(phi_deg, c, s, self.apex1, self.ge, self.rho, self.ra1, outward=False)

    def space2(self, phi_deg, c=(0, 0), s=1.0):
        """Hub space centred at phi: from the hub's tip on the clockwise side out to the root and
        back in."""
        return self._space(phi_deg, c, s, self.apex2, self.gi, self.rho, self.ra2, outward=True)

    @staticmethod
    def _space(phi_deg, c, s, apex, gamma, rho, r_tip, outward):
        phi = math.radians(phi_deg)
        er = (math.cos(phi), math.sin(phi))
        et = (-math.sin(phi), math.cos(phi))
        h = gamma / 2
        sign = 1.0 if outward else -1.0  # the flanks run from the apex inwards for the hub

        def local(u, v):
            return (c[0] + s * (u * et[0] + v * er[0]), c[1] + s * (u * et[1] + v * er[1]))

        # A flank: apex + t * (side * sin h, -sign * cos h); t to its tangent point with the
        # rounding and to the tip circle.
        t_fillet = rho / math.tan(h)
        b = apex * math.cos(h)
        root = math.sqrt(b * b - apex * apex + r_tip * r_tip)
        t_tip = b - root if outward else -b + root
        centre_v = apex - sign * rho / math.sin(h)

        def flank(side, t):
            return local(side * math.sin(h) * t, apex - sign * math.cos(h) * t)

        pts = [flank(-1, t_tip), flank(-1, t_fillet)]
        # Rounding: about its centre on the centre line, through the root point (below the
        # centre for the shaft, above it for the hub).
        hd = math.degrees(h)
        a_start, a_end = (180 - hd, hd) if outward else (180 + hd, 360 - hd)
        n = 8
        for i in range(1, n):
            a = math.radians(a_start + (a_end - a_start) * i / n)
            pts.append(local(rho * math.cos(a), centre_v + rho * math.sin(a)))
        pts += [flank(1, t_fillet), flank(1, t_tip)]
        return pts

    def flank_point(self, part, phi_deg, side, radius, c=(0, 0), s=1.0):
        """Point of a flank of the space centred at phi on the circle of radius (part 1 shaft,
        part 2 hub); side -1 clockwise, +1 counter-clockwise."""
        apex, h = (self.apex1, self.ge / 2) if part == 1 else (self.apex2, self.gi / 2)
        sign = -1.0 if part == 1 else 1.0
        b = apex * math.cos(h)
        root = math.sqrt(b * b - apex * apex + radius * radius)
        t = b - root if part == 2 else -b + root
        phi = math.radians(phi_deg)
        u, v = side * math.sin(h) * t, apex - sign * math.cos(h) * t
        x = u * -math.sin(phi) + v * math.cos(phi)
        y = u * math.cos(phi) + v * math.sin(phi)
        return (c[0] + s * x, c[1] + s * y)

    def outline1(self, first, last, phi0=90.0, c=(0, 0), s=1.0, closed=False):
        """The shaft's outline over spaces first..last (space k centred at phi0 + k pitch)."""
        return self._outline(self.space1, self.ra1, first, last, phi0, c, s, closed)

    def outline2(self, first, last, phi0=90.0, c=(0, 0), s=1.0, closed=False):
        """The hub's outline over spaces first..last (centred between the shaft's spaces)."""
        return self._outline(self.space2, self.ra2, first, last,
                             phi0 + self.pitch_deg() / 2, c, s, closed)

    def _outline(self, space, r_tip, first, last, phi0, c, s, closed):
        pts = []
        for k in range(first, last + 1):
            sp = space(phi0 + k * self.pitch_deg(), c, s)
            if pts:
                pts += arc_points(c, r_tip * s, angle_of(c, pts[-1]),
                                  unwrap(angle_of(c, pts[-1]), angle_of(c, sp[0])))[1:-1]
            pts += sp
        if closed:
            pts += arc_points(c, r_tip * s, angle_of(c, pts[-1]),
                              unwrap(angle_of(c, pts[-1]), angle_of(c, pts[0])))[1:]
        return pts

    def flank_length(self, part, radius):
        """Distance from the apex of a space to where its flank reaches radius."""
        q = self.flank_point(part, 90.0, 1, radius)
        apex = self.apex1 if part == 1 else self.apex2
        return dist(q, (0.0, apex))

    def pin_radius(self, part, dm):
        """Radius of the centre of a pin of diameter dm touching both flanks of a space."""
        if part == 1:
            return self.apex1 + dm / 2 / math.sin(self.ge / 2)
        return self.apex2 - dm / 2 / math.sin(self.gi / 2)

    def standard_pin(self, part):
        """The standard measuring-pin diameter, touching the flanks on the circle of diameter
        mn (z + 2x), rounded to 0.1 mm; the hub's z is negative."""
        a = self.alpha
        if part == 1:
            z, x = self.z, self.x1
        else:
            z = -self.z
            x = ((self.pn - self.en2) / self.mn - math.pi / 2) / (2 * math.tan(a))
        A = math.acos(min(1.0, z * math.cos(a) / (z + 2 * x)))
        B = (math.pi - 4 * x * math.tan(a)) / 2 / z + (math.tan(A) - (math.tan(a) - a))
        return round(z * self.mn * math.cos(a) * (math.tan(B) - math.tan(A)), 1)

    def over_pins(self, part, dm):
        f = 1.0 if self.z % 2 == 0 else math.cos(math.pi / (2 * self.z))
        if part == 1:
            return 2 * self.pin_radius(1, dm) * f + dm
        return 2 * self.pin_radius(2, dm) * f - dm


def unwrap(a0, a1):
    """a1 moved by whole turns to the counter-clockwise side of a0 (within one turn)."""
    while a1 <= a0:
        a1 += 360
    while a1 > a0 + 360:
        a1 -= 360
    return a1


# ---------------------------------------------------------------------------------------------
# Pictures

TITLE = (0.25, 0.38)
TEXT = (0.15, 0.22)


def title(p, text, sub=None):
    p.label((6, 111), text, TITLE)
    if sub:
        p.label((6, 104), sub, TEXT)


def notes(p, lines, y=15.0, x=6.0, step=4.5):
    for i, text in enumerate(lines):
        p.label((x, y - i * step), text, TEXT)


def left_of(p, q, text, dy=-1.1):
    """A label ending just left of q."""
    p.label((q[0] - text_width(text, TEXT) - 1.0, q[1] + dy), text, TEXT)


def comma(v, places=3):
    return ("%.*f" % (places, v)).replace(".", ",")


def full_section(p, g, c, hub_outer=None, encoded=False):
    """Shaft and hub of g, whole, about c at scale 1."""
    draw = p.encoded_polyline if encoded else p.polyline
    draw(g.outline1(0, g.z - 1, c=c, closed=True))
    p.pen(2)
    draw(g.outline2(0, g.z - 1, c=c, closed=True))
    if hub_outer:
        p.circle(c, hub_outer)
    p.pen(3)
    p.dashed(arc_points(c, g.r, 0, 360, 2.0))
    p.dashed([(c[0] - g.rf2 - 6, c[1]), (c[0] + g.rf2 + 6, c[1])])
    p.dashed([(c[0], c[1] - g.rf2 - 6), (c[0], c[1] + g.rf2 + 6)])
    p.pen(1)


def start_picture():
    p = Plot()
    g = Serration(24, 2.0, 30.0)
    c = (110.0, 60.0)
    full_section(p, g, c, hub_outer=g.rf2 + 12.0, encoded=True)
    p.circle(c, 8.0)  # the shaft's bore
    p.label((8, 88), "QERN", (0.8, 1.2))
    p.label((8, 76), "Kerbverzahnung", (0.25, 0.38))
    p.label((8, 64), "Welle (Teil 1)", (0.2, 0.3))
    p.label((8, 58), "in Nabe (Teil 2)", (0.2, 0.3))
    p.label((8, 44), "gerade Flanken", TEXT)
    p.label((8, 39), "z = 24, mn = 2, alpha = 30°", TEXT)
    p.label((8, 10), "V1.0", TEXT)
    return p


def detail_circles(p, g, c, s, a_left, names):
    """The pitch circle over the detail, and the names of the circles at its left end."""
    p.pen(3)
    p.dashed(arc_points(c, g.r * s, 180 - a_left, a_left, 0.5))
    p.pen(1)
    for r, name in names:
        left_of(p, polar(c, r * s, a_left), name)


def clip_to_angles(pts, c, a_min, a_max):
    """The part of a polyline about c between the angles a_min and a_max (degrees, within
    0..180), cut where it crosses them."""
    out = []
    inside = lambda q: a_min <= angle_of(c, q) <= a_max
    for a, b in zip(pts, pts[1:]):
        ia, ib = inside(a), inside(b)
        if ia and not out:
            out.append(a)
        if ia != ib:
            lo, hi = (a, b) if ia else (b, a)
            for _ in range(40):  # bisect to the crossing
                m = lerp(lo, hi, 0.5)
                lo, hi = (m, hi) if inside(m) else (lo, m)
            out.append(lo)
        if ib:
            out.append(b)
    return out


def profile_picture():
    """Flank angles, pitch, tooth thickness and space width of the shaft on the pitch circle."""
    p = Plot()
    g = Serration(20, 1.0, 30.0)
    s = 11.0
    c = (80.0, 42.0 - g.rf1 * s)
    pitch = g.pitch_deg()
    a_left = 90 + 1.5 * pitch
    p.polyline(clip_to_angles(g.outline1(-2, 2, c=c, s=s), c, 180 - a_left, a_left))
    detail_circles(p, g, c, s, a_left, [(g.r, "d"), (g.ra1, "da")])
    root = polar(c, g.rf1 * s, 90 + pitch)
    p.line(root, (root[0] - 6, root[1] - 4))
    left_of(p, (root[0] - 6, root[1] - 4), "df")
    # The space's centre line.
    p.pen(3)
    p.dashed([polar(c, g.apex1 * s - 3, 90), polar(c, g.ra1 * s + 5, 90)])
    p.pen(1)
    # gamma e between the flanks of the space, alpha from its centre line.
    apex = polar(c, g.apex1 * s, 90)
    h = math.degrees(g.ge / 2)
    p.arc_dimension(apex, 24.0, 90 - h, 90 + h)
    p.label(polar(apex, 26.5, 90), "gamma e", TEXT, centred=True)
    p.arc_dimension(apex, 11.0, 90, 90 + h)
    q = polar(apex, 11.0, 90 + h)
    left_of(p, (q[0] - 1, q[1]), "alpha", -0.5)
    # gamma i between the flanks of the tooth right of the space; they meet above its tip.
    tooth = 90 - pitch / 2
    apex_i = polar(c, g.apex2 * s, tooth)
    hi = math.degrees(g.gi / 2)
    for a in (tooth + 180 + hi, tooth + 180 - hi):
        p.line(apex_i, polar(apex_i, (g.apex2 - g.ra1) * s + 2, a))
    p.arc_dimension(apex_i, 5.0, tooth + 180 - hi, tooth + 180 + hi)
    p.label((apex_i[0] + 4, apex_i[1] - 2), "gamma i", TEXT)
    # en and sn on the pitch circle, pn below the roots.
    ccw = g.flank_point(1, 90, 1, g.r, c, s)
    cw = g.flank_point(1, 90, -1, g.r, c, s)
    next_ccw = g.flank_point(1, 90 - pitch, 1, g.r, c, s)
    p.arc_dimension(c, g.r * s, angle_of(c, cw), angle_of(c, ccw))
    p.label(polar(c, g.r * s + 2.5, 90), "en", TEXT, centred=True)
    p.arc_dimension(c, g.r * s, angle_of(c, next_ccw), angle_of(c, cw))
    p.label(polar(c, g.r * s + 2.5, 90 - pitch / 2), "sn", TEXT, centred=True)
    rd = g.rf1 * s - 6
    for q in (ccw, next_ccw):
        p.line(q, polar(c, rd - 1.5, angle_of(c, q)))
    p.arc_dimension(c, rd, angle_of(c, next_ccw), angle_of(c, ccw))
    p.label(polar(c, rd - 3, 90 - pitch / 2), "pn", TEXT, centred=True)
    title(p, "Verzahnungsgrößen", "Welle (Teil 1), Schnitt senkrecht zur Achse")
    notes(p, ["gamma e = 2 alpha (Lücke der Welle)",
              "gamma i = gamma e - 360° / z (Zahn der Welle, Lücke der Nabe)",
              "pn = pi mn      d = z mn      (mn = 25,4 / Pn)",
              "sn = mn (pi/2 + 2 x tan alpha)      en = pn - sn"], y=19.5)
    return p


def pins_picture():
    """Dimension over two pins (shaft) and between two pins (hub)."""
    p = Plot()
    g = Serration(20, 2.0, 30.0)
    cs, ch = (42.0, 64.0), (117.0, 64.0)
    ring = g.rf2 + 6
    # Shaft with its pins in two opposite spaces (z even).
    p.polyline(g.outline1(0, g.z - 1, phi0=0, c=cs, closed=True))
    dm1 = g.standard_pin(1)
    rp1 = g.pin_radius(1, dm1)
    for a in (0, 180):
        p.circle(polar(cs, rp1, a), dm1 / 2)
    # Hub (ring) with its pins in two opposite spaces.
    p.pen(2)
    p.polyline(g.outline2(0, g.z - 1, phi0=-g.pitch_deg() / 2, c=ch, closed=True))
    p.circle(ch, ring)
    p.pen(1)
    dm2 = g.standard_pin(2)
    rp2 = g.pin_radius(2, dm2)
    for a in (0, 180):
        p.circle(polar(ch, rp2, a), dm2 / 2)
    p.pen(3)
    for c, r in ((cs, g.ra1 + 4), (ch, ring + 3)):
        p.dashed([(c[0] - r, c[1]), (c[0] + r, c[1])])
        p.dashed([(c[0], c[1] - r), (c[0], c[1] + r)])
    p.pen(1)
    # M over the pins (outer pin edges) and between the pins (inner pin edges).
    m1, m2 = g.over_pins(1, dm1), g.over_pins(2, dm2)
    y = 30.0
    for c, half, edge in ((cs, m1 / 2, -1), (ch, m2 / 2, 1)):
        xs = (c[0] - half, c[0] + half)
        for x in xs:
            p.line((x, c[1] + (2 if edge > 0 else -1)), (x, y - 1.5))
        p.dimension((xs[0], y), (xs[1], y), "M", (-1, 1.2))
    # The pins' diameters.
    q = polar(polar(cs, rp1, 0), dm1 / 2, 60)
    p.line(q, (q[0] + 4, q[1] + 9))
    p.label((q[0] + 4.5, q[1] + 9.5), "Dm", TEXT)
    q = polar(polar(ch, rp2, 0), dm2 / 2, 120)
    p.line(q, (q[0] - 6, q[1] + 12))
    p.label((q[0] - 10, q[1] + 13), "Dm", TEXT)
    p.label((cs[0] - 12, 97), "Welle: über Rollen", TEXT)
    p.label((ch[0] - 14, 97), "Nabe: zwischen Rollen", TEXT)
    title(p, "Prüfmaß über / zwischen zwei Meßrollen")
    notes(p, ["Rollenmitte R: Flankenschnittpunkt +/- (Dm/2) / sin(gamma/2)",
              "z gerade: M = 2 R + Dm (Welle), M = 2 R - Dm (Nabe)",
              "z ungerade: 2 R wird mit cos(90° / z) multipliziert",
              "z = 20, mn = 2, alpha = 30°: Dm %s / %s mm, M %s / %s mm"
              % (comma(dm1, 1), comma(dm2, 1), comma(m1), comma(m2))], y=19.5)
    return p


def tool_picture():
    """The tool's reference profile: flank angle, pitch, heights and tip radius."""
    p = Plot()
    s = 15.0
    mn, alpha = 1.0, math.radians(30.0)
    ad = math.degrees(alpha)
    pn = math.pi * mn * s
    rho = 0.25 * mn * s
    # The tool's tooth: thickness pn/2 on the reference line; its flanks meet at depth below it,
    # and the tip radius lifts the tip by rho (1/sin alpha - 1).
    depth = pn / 4 / math.tan(alpha)
    ha = depth - rho * (1 / math.sin(alpha) - 1)
    hf = 1.074 * mn * s
    yref = 60.0
    x0 = 80.0 - pn  # centre of the first tooth
    centre_y = yref - depth + rho / math.sin(alpha)
    top_half = pn / 4 + hf * math.tan(alpha)
    pts = [(x0 - pn / 2, yref + hf)]
    for k in range(3):
        xc = x0 + k * pn
        pts.append((xc - top_half, yref + hf))
        pts += arc_points((xc, centre_y), rho, 180 + ad, 360 - ad, 10)
        pts.append((xc + top_half, yref + hf))
    pts.append((x0 + 2.5 * pn, yref + hf))
    p.polyline(pts)
    body = yref + hf + 8
    p.polyline([pts[0], (pts[0][0], body), (pts[-1][0], body), pts[-1]])
    p.pen(3)
    p.dashed([(pts[0][0] - 2, yref), (pts[-1][0] + 2, yref)])
    xc = x0 + pn
    p.dashed([(xc, yref - ha - 5), (xc, body + 3)])
    p.pen(1)
    p.label((x0 + 1.5 * pn + 4, yref - 4), "Profilbezugslinie", TEXT)
    # Heights left of the middle tooth.
    xh = x0 + pn / 2
    p.line((xh - 3, yref - ha), (xc, yref - ha))
    p.dimension((xh, yref), (xh, yref - ha), "haP0", (-11, -1))
    p.dimension((xh, yref), (xh, yref + hf), "hfP0", (-11, -1))
    # Pitch above the tool, the tooth thickness on the reference line.
    ytop = body + 7
    for x in (x0, x0 + pn):
        p.line((x, body + 1), (x, ytop + 1.5))
    p.dimension((x0, ytop), (x0 + pn, ytop), "pn = pi mn", (-8, 1.2))
    half = pn / 4
    p.dimension((xc - half, yref - 3), (xc + half, yref - 3), "pn/2", (-3, -4.5))
    # Flank angle against the normal of the reference line, and the tip radius.
    fl = (xc + half, yref)
    p.line(fl, (fl[0], yref + 13))
    p.arc_dimension(fl, 11.0, 90 - ad, 90, "alpha", (1.5, 1))
    q = polar((xc, centre_y), rho, -45)
    p.line(q, (q[0] + 9, q[1] - 7))
    p.label((q[0] + 9.5, q[1] - 8.5), "rhoaP0", TEXT)
    title(p, "Werkzeug-Bezugsprofil", "gerade Flanken, Flankenwinkel 2 alpha = gamma e")
    notes(p, ["haP0: Kopfhöhe des Werkzeugs, erzeugt den Fußkreis des Teils",
              "hfP0: Fußhöhe des Werkzeugs, erzeugt den Kopfkreis des Teils",
              "Welle: da1 = d + 2 x mn + 2 hfP0      df1 = d + 2 x mn - 2 haP0"])
    return p


def clearance_picture():
    """Radial clearances at both diameters and the flank clearance."""
    p = Plot()
    g = Serration(20, 1.0, 30.0, cp=0.12)
    s = 12.0
    c = (80.0, 36.0 - g.rf1 * s)
    pitch = g.pitch_deg()
    # The hub turned until one flank pair touches: the whole cp opens on the other side.
    turn = math.degrees(g.cp / g.d)
    a_left = 90 + 1.5 * pitch
    p.polyline(clip_to_angles(g.outline1(-2, 2, c=c, s=s), c, 180 - a_left, a_left))
    p.pen(2)
    p.polyline(clip_to_angles(g.outline2(-2, 1, phi0=90 + turn, c=c, s=s), c, 180 - a_left,
                              a_left))
    p.pen(1)
    detail_circles(p, g, c, s, a_left, [(g.r, "d"), (g.ra1, "da1")])
    root = polar(c, g.rf1 * s, 90 + pitch)
    p.line(root, (root[0] - 5, root[1] - 7))
    left_of(p, (root[0] - 5, root[1] - 7), "df1")
    # Hub circles named where the hub's outline ends.
    left_of(p, polar(c, g.ra2 * s, 90 + pitch + 3.5), "da2", 0.5)
    left_of(p, polar(c, g.rf2 * s, 90 + pitch / 2 + turn + 1.5), "df2", 0)
    # ce at the shaft's tooth: from its tip out to the hub's root.
    tooth = 90 - pitch / 2 + turn
    q1, q2 = polar(c, g.ra1 * s, tooth), polar(c, g.rf2 * s, tooth)
    p.line(q2, polar(q2, 7, tooth))
    p.arrow(q2, polar(q2, 7, tooth))
    p.line(q1, polar(q1, 5, tooth + 180))
    p.arrow(q1, polar(q1, 5, tooth + 180))
    t = polar(q2, 8, tooth)
    p.label((t[0] - 3, t[1] + 0.5), "ce = (df2 - da1) / 2", TEXT)
    # ci at the shaft's space: from the hub's tip in to the shaft's root.
    q3, q4 = polar(c, g.rf1 * s, 90), polar(c, g.ra2 * s, 90)
    p.line(q3, polar(q3, 6, 270))
    p.arrow(q3, polar(q3, 6, 270))
    p.line(q4, polar(q4, 5, 90))
    p.arrow(q4, polar(q4, 5, 90))
    t = polar(q3, 7, 270)
    p.label((t[0], t[1] - 3.5), "ci = (da2 - df1) / 2", TEXT, centred=True)
    # cp on the pitch circle between the flanks that do not touch.
    shaft_flank = g.flank_point(1, 90, -1, g.r, c, s)
    hub_flank = g.flank_point(2, 90 - pitch / 2 + turn, 1, g.r, c, s)
    a_s, a_h = angle_of(c, shaft_flank), angle_of(c, hub_flank)
    rd = g.r * s
    p.arc(c, rd, a_s - 2.5, a_s)
    p.arrow(shaft_flank, polar(c, rd, a_s - 2.5))
    p.arc(c, rd, a_h, a_h + 2.5)
    p.arrow(hub_flank, polar(c, rd, a_h + 2.5))
    t = polar(c, rd, a_s - 2.5)
    e = (t[0] + 20, 19.0)
    p.line(t, e)
    p.label((e[0] + 1, e[1] - 1.1), "cp = en2 - sn1", TEXT)
    title(p, "Spiele", "radial am großen (ce) und kleinen Durchmesser (ci), Flanken (cp)")
    notes(p, ["ce, ci < 0: der Kopf stößt in den Fuß des Gegenteils",
              "cp < 0: Flanken überdecken sich, die Teile lassen sich nicht fügen"], y=12)
    return p


PICTURES = [
    ("start", "Startbild: Kerbverzahnung Welle in Nabe", start_picture),
    ("qprofil", "Verzahnungsgrößen: Winkel, Teilung, Zahndicke, Lückenweite", profile_picture),
    ("qmessr", "Prüfmaß über / zwischen zwei Meßrollen", pins_picture),
    ("qwerkz", "Werkzeug-Bezugsprofil: Kopf- und Fußhöhe, Kopfradius", tool_picture),
    ("qspiel", "Spiele: radial ce und ci, Flankenspiel cp", clearance_picture),
]


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "data")
    catalogue = []
    for name, description, make in PICTURES:
        with open(os.path.join(target, name + ".plt"), "wb") as f:
            f.write(make().data())
        catalogue.append('"%s","%s"\r\n' % (name, description))
    with open(os.path.join(target, "qern.dbh"), "w", encoding="utf-8", newline="") as f:
        f.write("".join(catalogue))


if __name__ == "__main__":
    main()
