#!/usr/bin/env python3
"""Writes the default maps: data/game/c_maps/*.vo2 (voxel worlds) and *.world (world scripts).

Each world is a shape given by a few formulas plus value noise; its world script
names the world file, the materials, the rules it prefers and the places (world
tags, team spawn areas and goal zones) that lie on the generated ground.  Run from
anywhere; the output is the same byte for byte every time: the noise is integer
hashing with polynomial smoothing, and the only other operation that is not exact
arithmetic is the square root, which IEEE 754 rounds the same everywhere.

World file: little-endian header (magic, version 2, record count, page size 4 4 4),
then per non-empty 4x4x4 cell, z outermost and x innermost, a 16-byte record (type,
voxel x, y, z of the cell's lowest corner): type 1 = every voxel solid matter 0,
type 0 = followed by its 64 voxels (u16 matter * 256 + density, x fastest).
Voxel (x, y, z) stands for the world point 0.8 * (x - 64, y - 64, z - 64); the
outer voxel layers (0, 126, 127) stay empty.
"""
import math
import os
import struct

VO2_MAGIC = 0x671A9901
VO2_VERSION = 2
VOXELS = 128
PAGE = 4
PAGES = VOXELS // PAGE
VOXEL_SIZE = 0.8
SOLID = 0x00FF  # density 255, matter 0: what a solid cell holds

# Matter numbers of the worlds and the material files that draw them.
ROCK, DIRT, SAND, GRASS, BLUE_CLAY, RED_CLAY = range(6)
MATERIAL_DIR = "game/c_materials/world/"
MATERIALS = {ROCK: "rock", DIRT: "dirt", SAND: "sand", GRASS: "grass", BLUE_CLAY: "blue_clay", RED_CLAY: "red_clay"}
MAP_DIR = "game/c_maps/"

# Half the width of the density ramp across a surface, in world units: the density
# falls from 255 to 0 over twice this distance, 128 lies on the surface.
RAMP = 1.5


# ---- noise ----

def lattice(ix, iy, iz, seed):
    """A fixed value in [0, 1) for an integer lattice point."""
    h = (ix * 73856093 ^ iy * 19349663 ^ iz * 83492791 ^ seed * 2654435761) & 0xFFFFFFFF
    h ^= h >> 13
    h = (h * 0x5BD1E995) & 0xFFFFFFFF
    h ^= h >> 15
    h = (h * 0x27D4EB2D) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967296.0


def fade(t):
    return t * t * (3.0 - 2.0 * t)


def noise(x, y, z, seed):
    """Smooth value noise in [0, 1)."""
    ix, iy, iz = math.floor(x), math.floor(y), math.floor(z)
    fx, fy, fz = fade(x - ix), fade(y - iy), fade(z - iz)
    total = 0.0
    for dz in (0, 1):
        wz = fz if dz else 1.0 - fz
        for dy in (0, 1):
            wy = fy if dy else 1.0 - fy
            for dx in (0, 1):
                wx = fx if dx else 1.0 - fx
                total += wx * wy * wz * lattice(ix + dx, iy + dy, iz + dz, seed)
    return total


def fbm(x, y, z, seed, octaves=3):
    """Noise summed over octaves, in [-1, 1)."""
    total, amplitude, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        total += amplitude * noise(x, y, z, seed + o)
        norm += amplitude
        x, y, z, amplitude = x * 2.0, y * 2.0, z * 2.0, amplitude * 0.5
    return total / norm * 2.0 - 1.0


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def smooth(edge0, edge1, v):
    """0 at edge0, 1 at edge1, smooth between."""
    return fade(clamp((v - edge0) / (edge1 - edge0), 0.0, 1.0))


def ramp(distance_inside):
    """Density of a voxel that lies distance_inside below a surface (negative: above it)."""
    return int(clamp((distance_inside + RAMP) / (2 * RAMP), 0.0, 1.0) * 255)


def normalize(v):
    length = math.sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])
    return (v[0] / length, v[1] / length, v[2] / length)


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def scale(v, s):
    return (v[0] * s, v[1] * s, v[2] * s)


# ---- voxel worlds ----

def world_point(v):
    return VOXEL_SIZE * (v - 64)


def build(voxel, skip_cell):
    """The world file's bytes.  voxel(x, y, z) -> u16 voxel; skip_cell(px, py, pz) -> 0
    when the cell is certainly empty, 1 when certainly solid, None to evaluate it."""
    records = []
    for pz in range(PAGES):
        for py in range(PAGES):
            for px in range(PAGES):
                known = skip_cell(px, py, pz)
                if known == 0:
                    continue
                if known == 1:
                    records.append(struct.pack("<4I", 1, px * PAGE, py * PAGE, pz * PAGE))
                    continue
                cell = []
                for z in range(pz * PAGE, pz * PAGE + PAGE):
                    for y in range(py * PAGE, py * PAGE + PAGE):
                        for x in range(px * PAGE, px * PAGE + PAGE):
                            edge = min(x, y, z) < 1 or max(x, y, z) > 125
                            cell.append(0 if edge else voxel(x, y, z))
                if not any(cell):
                    continue
                if all(v == SOLID for v in cell):
                    records.append(struct.pack("<4I", 1, px * PAGE, py * PAGE, pz * PAGE))
                    continue
                records.append(struct.pack("<4I", 0, px * PAGE, py * PAGE, pz * PAGE) + struct.pack("<64H", *cell))
    header = struct.pack("<6I", VO2_MAGIC, VO2_VERSION, len(records), PAGE, PAGE, PAGE)
    return header + b"".join(records)


def cell_range(p):
    """World-space centre and half diagonal of a page cell."""
    centre = tuple(world_point(c * PAGE) + 1.5 * VOXEL_SIZE for c in p)
    return centre, 1.5 * VOXEL_SIZE * math.sqrt(3.0) + 0.01


def layer_matter(depth, top):
    """Matter at a depth below the ground: the top layer, dirt, then rock."""
    if depth < 1.0:
        return top
    if depth < 3.5:
        return DIRT
    return ROCK


class Body:
    """A world around the centre whose ground lies at radius(direction)."""

    def __init__(self, radius, low, high, top_matter):
        self.radius = radius          # direction (unit vector) -> ground radius
        self.low, self.high = low, high  # bounds of every ground radius
        self.top_matter = top_matter  # direction, ground radius -> matter of the top layer

    def ground(self, direction, height=0.0):
        """The point `height` above the ground in a direction."""
        d = normalize(direction)
        return scale(d, self.radius(d) + height)

    def voxel(self, x, y, z):
        p = (world_point(x), world_point(y), world_point(z))
        r = math.sqrt(dot(p, p))
        if r < 0.001:
            return SOLID
        d = scale(p, 1.0 / r)
        g = self.radius(d)
        density = ramp(g - r)
        if density == 0:
            return 0
        matter = layer_matter(g - r, self.top_matter(d, g))
        return matter << 8 | density

    def skip(self, px, py, pz):
        centre, half = cell_range((px, py, pz))
        r = math.sqrt(dot(centre, centre))
        if r - half > self.high + RAMP:
            return 0
        if r + half < self.low - 3.5 - RAMP:
            return 1
        return None

    def vo2(self):
        return build(self.voxel, self.skip)


class Slab:
    """A flat world: ground at height(x, z) over a square of half size `half`, down to `bottom`."""

    def __init__(self, height, half, bottom, high, top_matter):
        self.height, self.half, self.bottom, self.high = height, half, bottom, high
        self.top_matter = top_matter
        self.columns = {}

    def column(self, x, z):
        key = (x, z)
        if key not in self.columns:
            wx, wz = world_point(x), world_point(z)
            self.columns[key] = self.height(wx, wz)
        return self.columns[key]

    def ground(self, x, z, height=0.0):
        return (x, self.height(x, z) + height, z)

    def voxel(self, x, y, z):
        wx, wy, wz = world_point(x), world_point(y), world_point(z)
        g = self.column(x, z)
        side = self.half - max(abs(wx), abs(wz))
        density = min(ramp(g - wy), ramp(wy - self.bottom), ramp(side))
        if density == 0:
            return 0
        matter = layer_matter(min(g - wy, side), self.top_matter(wx, wz, g))
        return matter << 8 | density

    def skip(self, px, py, pz):
        centre, half = cell_range((px, py, pz))
        if max(abs(centre[0]), abs(centre[2])) - half > self.half + RAMP:
            return 0
        if centre[1] - half > self.high + RAMP or centre[1] + half < self.bottom - RAMP:
            return 0
        return None

    def vo2(self):
        return build(self.voxel, self.skip)


# ---- world scripts ----

def fmt(v):
    text = "%.2f" % v
    return "0.00" if text == "-0.00" else text


def vec(v):
    return " ".join(fmt(c) for c in v)


class Script:
    """The text of a world script, key by key."""

    def __init__(self, name):
        self.lines = ["// %s: written by scripts/make_worlds.py; change the script, not this file." % name, ""]
        self.tags = []

    def key(self, key, *values):
        self.lines.append(" ".join([key] + [str(v) for v in values]))

    def vector(self, key, v):
        self.key(key, vec(v))

    def blank(self, comment=None):
        self.lines.append("")
        if comment:
            self.lines.append("// " + comment)

    def materials(self, matters):
        self.lines.append("worldMaterials {")
        for m in matters:
            self.lines.append("    %d %s%s.material" % (m, MATERIAL_DIR, MATERIALS[m]))
        self.lines.append("}")

    def tag(self, name, position, a=0.0, b=0.0):
        """A world tag: a for items is the amount, b the seconds between spawns (0: once)."""
        self.tags.append("    %s %s %s %s 0 0 0 0" % (name, vec(position), fmt(a), fmt(b)))

    def weapon(self, name, *keys):
        self.lines.append(name + " {")
        for k in keys:
            self.lines.append("    " + k)
        self.lines.append("}")

    def text(self):
        lines = list(self.lines)
        if self.tags:
            lines += ["", "worldTags {"] + self.tags + ["}"]
        return "\n".join(lines) + "\n"


def common_head(s, name, matter, rules, players):
    s.key("name", '"%s"' % name)
    s.key("matter", MAP_DIR + matter + ".vo2")
    s.key("rules", rules)
    s.key("maxPlayers", players)


def flat_head(s, name, rules, players, half, top):
    """The head of a flat world's script: gravity along -Y, the space box over the
    square of half size `half` up to `top`, the death floor below it."""
    common_head(s, name.capitalize(), name, rules, players)
    s.key("linearGravity")
    s.key("spaceAltitude", "40.00")
    s.vector("spaceBox", (half, top, half))
    s.key("deathFloor", "-20.00")
    s.vector("spectatorPos", (0.0, 12.0, 4.0 - half))


def ball_head(s, name, rules, players, space):
    """The head of a ball world's script: altitudes, every material, team clays."""
    common_head(s, name.capitalize(), name, rules, players)
    s.key("spaceAltitude", fmt(space))
    s.key("coreAltitude", "5.00")
    s.blank()
    s.materials([ROCK, DIRT, SAND, GRASS, BLUE_CLAY, RED_CLAY])
    s.key("blueTeamWM", BLUE_CLAY)
    s.key("redTeamWM", RED_CLAY)


def team_areas(s, body, spawn_radius):
    """Crystal-rounds spawn areas around the bases and goal zones on them."""
    for team, site in (("Blue", BLUE_BASE), ("Red", RED_BASE)):
        s.vector("crSpawn%sPos" % team, body.ground(site))
        s.key("crSpawn%sRadius" % team, fmt(spawn_radius))
    for team, site in (("Blue", BLUE_BASE), ("Red", RED_BASE)):
        s.vector("crZone%sPos" % team, body.ground(site, 1.0))
        s.key("crZone%sRadius" % team, "4.00")


def team_top(d, inner, outer):
    """The team clay on a base, else None."""
    if plateau(d, BLUE_BASE, inner, outer) > 0.0:
        return BLUE_CLAY
    if plateau(d, RED_BASE, inner, outer) > 0.0:
        return RED_CLAY
    return None


def stock(s, comment, decorations, max_items, spawn_time, dirt_clip):
    """Decoration counts, random items and the weapons."""
    s.blank(comment)
    for key, n in decorations:
        s.key(key, n)
    s.key("maxItems", max_items)
    s.key("itemSpawnTime", spawn_time)
    default_weapons(s, dirt_clip)


def crystal_tags(s, body, crystal_site):
    """The crystal of crystal rounds, each team's crystal and drone at its base."""
    s.tag("spawn_crystal", body.ground(crystal_site, 1.0))
    s.tag("spawn_blue_crystal", body.ground(BLUE_BASE, 1.0))
    s.tag("spawn_red_crystal", body.ground(RED_BASE, 1.0))
    s.tag("spawn_blue_drone", body.ground(BLUE_BASE, 4.0))
    s.tag("spawn_red_drone", body.ground(RED_BASE, 4.0))


def item_tags(s, ground, items):
    """Items lying 1 unit above the ground at each place: (tag, place, amount, seconds)."""
    for name, place, amount, seconds in items:
        s.tag(name, ground(place), amount, seconds)


def default_weapons(s, dirt_clip):
    s.blank("Everybody starts with the Meelgun, the Minigun and the Dirtgun; the others come as items.")
    s.weapon("meelgun", "spawnWeapon")
    s.weapon("minigun", "spawnWeapon", "spawnAmmoMag 40", "spawnAmmoTotal 120")
    s.weapon("shotgun", "itemAmmo 20")
    s.weapon("grengun", "itemAmmo 16")
    s.weapon("railgun", "itemAmmo 12")
    s.weapon("dirtgun", "spawnWeapon", "spawnAmmoMag %d" % dirt_clip, "tickRate 2000", "tickMax 25")


# ---- the planet: a ball with a blue and a red base, the crystal between them ----

PLANET_RADIUS = 22.0
PLANET_RELIEF = 3.0
BLUE_BASE = (1.0, 0.0, 0.0)
RED_BASE = (-1.0, 0.0, 0.0)
CRYSTAL_SITE = (0.0, 1.0, 0.0)
SOUTH = (0.0, -1.0, 0.0)


def plateau(d, site, inner=0.95, outer=0.86):
    """1 on a flat site, 0 away from it."""
    return smooth(outer, inner, dot(d, site))


def planet_radius(d):
    relief = fbm(d[0] * 2.3 + 10.0, d[1] * 2.3, d[2] * 2.3, 7) * PLANET_RELIEF
    flat = 0.0
    lift = 0.0
    for site, rise in ((BLUE_BASE, 1.2), (RED_BASE, 1.2), (CRYSTAL_SITE, 0.6), (SOUTH, 0.0)):
        w = plateau(d, site)
        flat = max(flat, w)
        lift += w * rise
    return PLANET_RADIUS + relief * (1.0 - flat) + lift


def planet_top(d, g):
    team = team_top(d, 0.97, 0.93)
    if team is not None:
        return team
    return SAND if g < PLANET_RADIUS - 1.2 else GRASS


def planet():
    body = Body(planet_radius, PLANET_RADIUS - PLANET_RELIEF, PLANET_RADIUS + PLANET_RELIEF + 1.2, planet_top)
    s = Script("Planet")
    ball_head(s, "planet", "CR", 12, 40.0)
    s.blank("Crystal rounds: each team spawns at its base and scores by carrying the crystal into its goal zone.")
    team_areas(s, body, 8.0)
    s.key("ccSpawnRadius", "8.00")

    stock(s, "Decorations and random items.", (("numMushrooms", 6), ("numStones", 8), ("numCandyCanes", 2),
                                                ("numFoamMushes", 4), ("numProbes", 2), ("numBarrels", 3)),
          4, 8000, 25)
    crystal_tags(s, body, CRYSTAL_SITE)
    # Items on the ground: health and armour between the bases, the rare ones far south.
    items = [
        ("item_life0", (0.0, 0.3, 1.0), 25, 20), ("item_life1", (0.0, 0.3, -1.0), 25, 20),
        ("item_armor0", (0.5, -0.3, 1.0), 50, 30), ("item_armor1", (-0.5, -0.3, -1.0), 50, 30),
        ("item_berserk0", SOUTH, 15, 90),
        ("item_shotgun0", (0.7, 0.0, 0.7), 20, 25), ("item_shotgun1", (-0.7, 0.0, -0.7), 20, 25),
        ("item_grengun0", (-0.7, 0.0, 0.7), 16, 30), ("item_grengun1", (0.7, 0.0, -0.7), 16, 30),
        ("item_railgun0", (0.2, -0.9, 0.3), 12, 45),
        ("item_minigun0", (0.0, 0.7, 0.7), 80, 20),
        ("item_dirtgun0", (0.0, 0.7, -0.7), 20, 20),
    ]
    item_tags(s, lambda d: body.ground(d, 1.0), items)
    return body.vo2(), s.text()


# ---- the ridge: a long ball, a crystal at each tip ----

RIDGE_AXES = (30.0, 16.0, 16.0)


def ridge_radius(d):
    a, b, c = RIDGE_AXES
    base = 1.0 / math.sqrt((d[0] / a) ** 2 + (d[1] / b) ** 2 + (d[2] / c) ** 2)
    relief = fbm(d[0] * 2.0, d[1] * 2.0 + 5.0, d[2] * 2.0, 21) * 2.0
    flat = max(plateau(d, BLUE_BASE, 0.985, 0.95), plateau(d, RED_BASE, 0.985, 0.95))
    return base + relief * (1.0 - flat)


def ridge_top(d, g):
    team = team_top(d, 0.99, 0.98)
    if team is not None:
        return team
    return GRASS if abs(d[1]) < 0.5 else SAND


def ridge():
    body = Body(ridge_radius, RIDGE_AXES[1] - 2.0, RIDGE_AXES[0] + 2.0, ridge_top)
    s = Script("Ridge")
    ball_head(s, "ridge", "CC", 10, 44.0)
    s.blank("Capture the crystal: the teams spawn around their crystals at the two tips, which are\n"
            "// also the bases and goal zones of crystal rounds.")
    s.key("ccSpawnRadius", "10.00")
    team_areas(s, body, 10.0)
    stock(s, "Decorations and random items.", (("numStones", 6), ("numBarrels", 4), ("numProbes", 2)),
          3, 10000, 20)
    crystal_tags(s, body, (0.0, 1.0, 0.0))
    items = [
        ("item_life0", (0.4, 1.0, 0.0), 25, 20), ("item_life1", (-0.4, -1.0, 0.0), 25, 20),
        ("item_armor0", (0.0, 0.0, 1.0), 50, 30), ("item_armor1", (0.0, 0.0, -1.0), 50, 30),
        ("item_railgun0", (0.0, -1.0, 0.0), 12, 40),
        ("item_shotgun0", (0.4, -0.7, 0.7), 20, 25), ("item_grengun0", (-0.4, 0.7, -0.7), 16, 30),
    ]
    item_tags(s, lambda d: body.ground(d, 1.0), items)
    return body.vo2(), s.text()


# ---- the arena: a flat square with a raised rim, for death matches ----

ARENA_HALF = 30.0
ARENA_BOTTOM = -6.0
ARENA_BLUE, ARENA_RED, ARENA_CRYSTAL = (-16.0, 4.0), (16.0, -4.0), (0.0, 8.0)
ARENA_HILLS = ((11.0, 11.0, 3.5), (-12.0, -9.0, 4.0), (-10.0, 12.0, 2.5), (12.0, -11.0, 3.0))


def arena_height(x, z):
    h = fbm(x * 0.09, 3.0, z * 0.09, 33, 2) * 1.2
    for hx, hz, top in ARENA_HILLS:
        dd = math.sqrt((x - hx) ** 2 + (z - hz) ** 2)
        h += top * smooth(7.0, 3.0, dd)
    return h + 5.5 * smooth(ARENA_HALF - 8.0, ARENA_HALF - 1.0, max(abs(x), abs(z)))


def arena_top(x, z, g):
    return GRASS if g < 2.0 else DIRT if g < 5.0 else ROCK


def arena():
    slab = Slab(arena_height, ARENA_HALF, ARENA_BOTTOM, 9.0, arena_top)
    s = Script("Arena")
    s.lines.append("// A flat world: the ground near height 0, the space box holds the play area.")
    flat_head(s, "arena", "DM", 8, ARENA_HALF, 16.0)
    s.blank()
    s.materials([ROCK, DIRT, SAND, GRASS])
    s.key("blueTeamWM", DIRT)
    s.key("redTeamWM", DIRT)
    stock(s, "Decorations; the items lie on their tags, and a few more appear at random.",
          (("numStones", 6), ("numMushrooms", 4), ("numBarrels", 4)), 2, 15000, 15)
    # The team rules run here too: a base at each side, the crystal between them.
    s.blank("For the team rules: a spawn area and goal zone at each side.")
    for team, (x, z) in (("Blue", ARENA_BLUE), ("Red", ARENA_RED)):
        s.vector("crSpawn%sPos" % team, slab.ground(x, z))
        s.key("crSpawn%sRadius" % team, "6.00")
        s.vector("crZone%sPos" % team, slab.ground(x, z, 1.0))
        s.key("crZone%sRadius" % team, "4.00")
    s.key("ccSpawnRadius", "6.00")
    s.tag("spawn_crystal", slab.ground(ARENA_CRYSTAL[0], ARENA_CRYSTAL[1], 1.0))
    s.tag("spawn_blue_crystal", slab.ground(ARENA_BLUE[0], ARENA_BLUE[1], 1.0))
    s.tag("spawn_red_crystal", slab.ground(ARENA_RED[0], ARENA_RED[1], 1.0))
    hill = [(hx, hz) for hx, hz, _ in ARENA_HILLS]
    items = [
        ("item_railgun0", hill[1], 12, 40), ("item_berserk0", hill[0], 15, 90),
        ("item_grengun0", hill[2], 16, 30), ("item_shotgun0", hill[3], 20, 25),
        ("item_life0", (0.0, 0.0), 25, 20), ("item_life1", (20.0, 0.0), 25, 20),
        ("item_life2", (-20.0, 0.0), 25, 20), ("item_armor0", (0.0, 20.0), 50, 30),
        ("item_armor1", (0.0, -20.0), 50, 30), ("item_minigun0", (6.0, -6.0), 80, 20),
        ("item_dirtgun0", (-6.0, 6.0), 20, 20),
    ]
    item_tags(s, lambda xz: slab.ground(xz[0], xz[1], 1.0), items)
    return slab.vo2(), s.text()


# ---- the forge: a plain plate to build on ----

FORGE_HALF = 24.0


def forge():
    slab = Slab(lambda x, z: 0.0, FORGE_HALF, -4.0, 0.0, lambda x, z, g: SAND)
    s = Script("Forge")
    s.lines.append("// A flat plate to build on: every weapon, full ammunition, no decorations.")
    flat_head(s, "forge", "F", 16, FORGE_HALF, 30.0)
    s.blank()
    s.materials([ROCK, DIRT, SAND, GRASS, BLUE_CLAY, RED_CLAY])
    s.key("blueTeamWM", BLUE_CLAY)
    s.key("redTeamWM", RED_CLAY)
    s.key("maxItems", 0)
    s.blank()
    for w in ("meelgun", "minigun", "shotgun", "grengun", "railgun"):
        s.weapon(w, "spawnWeapon")
    s.weapon("dirtgun", "spawnWeapon", "spawnAmmoMag 50", "tickRate 200", "tickMax 50")
    return slab.vo2(), s.text()


MAPS = (("planet", planet), ("ridge", ridge), ("arena", arena), ("forge", forge))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", MAP_DIR)
    os.makedirs(out, exist_ok=True)
    for name, make in MAPS:
        vo2, script = make()
        with open(os.path.join(out, name + ".vo2"), "wb") as f:
            f.write(vo2)
        with open(os.path.join(out, name + ".world"), "w", newline="\n") as f:
            f.write(script)
        print("%s: %d bytes of world, %d records" % (name, len(vo2), struct.unpack_from("<I", vo2, 8)[0]))


if __name__ == "__main__":
    main()
