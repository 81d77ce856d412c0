#!/usr/bin/env python3
"""Builds the location list (hxzones.hxd), the rule file (hxdst.hxd) and the
first clocks (hxclocks.hxd) from the host's tz database and, when the library
is installed, the GeoNames city table that Debian ships in libgeonames0.

    python3 data/gen/hxdata.py [--year 2026] [--out data] [--min-population N]

The places are the table's towns of 15,000 people or more and its capitals.
The table is GeoNames' "cities15000" (every place over 15,000 people and
every capital); the library gives no feature codes, so the rows under
15,000 people are taken as its capitals, except the few rows without any
population that are not capitals (NOT_CAPITALS).

Every place gets its zone's standard offset and that year's two daylight-saving
transitions written in the rule model of the suite: first/second/third/fourth
or last weekday of a month, or a fixed day, at a time of day in local standard
time, with the minutes added. A zone whose year the model cannot express
(other than exactly one summer period) keeps its standard offset and the
"Unknown" rule; the script prints how many places that hits.

The output depends only on the tz database, the city table and the arguments,
so running it twice on the same machine gives the same files.
"""

import argparse
import calendar
import ctypes
import datetime as dt
import math
import os
import sys
import unicodedata
import zoneinfo

ZONEINFO = "/usr/share/zoneinfo"
UTC = dt.timezone.utc

# Readable names of the rules, keyed by a zone that uses the rule. Rules that
# no entry names are called after their first city.
RULE_NAMES = [
    ("America/New_York", "North America"),
    ("Europe/London", "Europe (Western)"),
    ("Europe/Paris", "Europe (Central)"),
    ("Europe/Athens", "Europe (Eastern)"),
    ("Atlantic/Azores", "Europe (Azores)"),
    ("America/Nuuk", "Greenland"),
    ("Europe/Chisinau", "Moldova"),
    ("Australia/Sydney", "Australia"),
    ("Australia/Lord_Howe", "Lord Howe Island"),
    ("Pacific/Norfolk", "Norfolk Island"),
    ("Pacific/Auckland", "New Zealand"),
    ("Pacific/Chatham", "Chatham Islands"),
    ("America/Santiago", "Chile"),
    ("Pacific/Easter", "Easter Island"),
    ("America/Havana", "Cuba"),
    ("Asia/Jerusalem", "Israel"),
    ("Asia/Beirut", "Lebanon"),
    ("Asia/Gaza", "Palestine"),
    ("Africa/Cairo", "Egypt"),
    ("Africa/Casablanca", "Morocco"),
    ("Antarctica/Troll", "Troll Station"),
    ("America/Asuncion", "Paraguay"),
    ("Asia/Tehran", "Iran"),
]

# The lists' release within the data year: raised whenever what they list
# changes, so that the update check can tell the lists apart (2: the towns
# of 15,000 people and more).
DATA_RELEASE = 2

NONE_RULE = "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/No DST applies"
UNKNOWN_RULE = "Unknown/N.1.1.0.02:00:00/N.1.1.0.02:00:00/DST Rule is not known"

# The city table names a few countries by their formal names; the location
# manager lists countries by name, where a user looks for the common one.
COMMON_COUNTRY_NAMES = {
    "JO": "Jordan",
    "KR": "South Korea",
    "LT": "Lithuania",
    "MC": "Monaco",
    "MD": "Moldova",
}

# Rows of the city table under 15,000 people are its capitals and seats of
# government; these few with no population at all are neither and stay out.
NOT_CAPITALS = {
    ("BE", "Chasse Royale"),
    ("BR", "Cambebba"),
    ("DE", "Burg Unter-Falkenstein"),
    ("DE", "Haselbachtal"),
    ("IT", "bishopric of Perugia"),
    ("NZ", "Linton Military Camp"),
    ("ZA", "Riverlea"),
}

# The first clocks: (zone, analog).
FIRST_CLOCKS = [
    ("America/Los_Angeles", False),
    ("America/New_York", False),
    ("Europe/London", True),
    ("Europe/Paris", False),
    ("Asia/Tokyo", True),
    ("Australia/Sydney", True),
]


def fmt_float(x):
    """Shortest text that reads back as the same double, without a trailing
    '.0' and never in exponent form."""
    if abs(x) < 1e-4:
        x = 0.0
    text = repr(float(x))
    if text.endswith(".0"):
        text = text[:-2]
    if text == "-0":
        text = "0"
    assert "e" not in text, text
    return text


def clean(text):
    """Fields may hold neither TAB, line ends nor the record end mark."""
    for ch in "\t\r\n!":
        text = text.replace(ch, " ")
    return " ".join(text.split())


def tz_version():
    try:
        with open(os.path.join(ZONEINFO, "tzdata.zi"), encoding="utf-8") as f:
            first = f.readline().split()
            if len(first) >= 3 and first[1] == "version":
                return first[2]
    except OSError:
        pass
    return "unknown"


def read_iso3166():
    names = {}
    with open(os.path.join(ZONEINFO, "iso3166.tab"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            code, name = line.rstrip("\n").split("\t")[:2]
            names[code] = name
    return names


def parse_iso6709(text):
    """+DDMM+DDDMM or +DDMMSS+DDDMMSS, east positive."""
    split = max(text.rfind("+"), text.rfind("-"))
    lat, lon = text[:split], text[split:]

    def one(part, deg_digits):
        sign = -1 if part[0] == "-" else 1
        digits = part[1:]
        d = int(digits[:deg_digits])
        m = int(digits[deg_digits:deg_digits + 2])
        s = int(digits[deg_digits + 2:] or 0)
        return sign * (d + m / 60 + s / 3600)

    return one(lat, 2), one(lon, 3)


def read_zone1970():
    rows = []
    with open(os.path.join(ZONEINFO, "zone1970.tab"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            fields = line.rstrip("\n").split("\t")
            codes, coords, zone = fields[0], fields[1], fields[2]
            comment = fields[3] if len(fields) > 3 else ""
            lat, lon = parse_iso6709(coords)
            rows.append((codes.split(","), lat, lon, zone, comment))
    return rows


def read_geonames():
    """The GeoNames city table compiled into libgeonames (CC BY 4.0), or an
    empty list when the library is not installed."""
    try:
        lib = ctypes.CDLL("libgeonames.so.0")
    except OSError:
        return []
    lib.geonames_get_n_cities.restype = ctypes.c_int
    lib.geonames_get_city.restype = ctypes.c_void_p
    lib.geonames_get_city.argtypes = [ctypes.c_uint]
    for name in ("name", "state", "country", "country_code", "timezone"):
        fn = getattr(lib, "geonames_city_get_" + name)
        fn.restype = ctypes.c_char_p
        fn.argtypes = [ctypes.c_void_p]
    for name in ("latitude", "longitude"):
        fn = getattr(lib, "geonames_city_get_" + name)
        fn.restype = ctypes.c_double
        fn.argtypes = [ctypes.c_void_p]
    lib.geonames_city_get_population.restype = ctypes.c_uint
    lib.geonames_city_get_population.argtypes = [ctypes.c_void_p]
    lib.geonames_city_free.argtypes = [ctypes.c_void_p]

    def text(fn, city):
        raw = fn(city)
        return raw.decode("utf-8") if raw else ""

    cities = []
    for i in range(lib.geonames_get_n_cities()):
        c = lib.geonames_get_city(i)
        cities.append({
            "name": text(lib.geonames_city_get_name, c),
            "state": text(lib.geonames_city_get_state, c),
            "country": text(lib.geonames_city_get_country, c),
            "cc": text(lib.geonames_city_get_country_code, c),
            "tz": text(lib.geonames_city_get_timezone, c),
            "lat": lib.geonames_city_get_latitude(c),
            "lon": lib.geonames_city_get_longitude(c),
            "pop": lib.geonames_city_get_population(c),
        })
        lib.geonames_city_free(c)
    return cities


def distance_km(lat1, lon1, lat2, lon2):
    p1, p2 = math.radians(lat1), math.radians(lat2)
    dp, dl = p2 - p1, math.radians(lon2 - lon1)
    a = math.sin(dp / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(dl / 2) ** 2
    return 2 * 6371 * math.asin(min(1.0, math.sqrt(a)))


# --- rules -------------------------------------------------------------------

def offset_at(tz, ts):
    """UTC offset in whole seconds at the UTC instant ts (seconds)."""
    return int(dt.datetime.fromtimestamp(ts, tz).utcoffset().total_seconds())


def transitions(tz, year):
    """(instant, offset before, offset after) of every change in the year."""
    start = int(dt.datetime(year, 1, 1, tzinfo=UTC).timestamp())
    end = int(dt.datetime(year + 1, 1, 1, tzinfo=UTC).timestamp())
    step = 6 * 3600
    found = []
    t, prev = start, offset_at(tz, start)
    while t < end:
        nxt = min(t + step, end)
        cur = offset_at(tz, nxt)
        if cur != prev:
            lo, hi = t, nxt  # offset(lo) == prev, offset(hi) != prev
            while hi - lo > 1:
                mid = (lo + hi) // 2
                if offset_at(tz, mid) == prev:
                    lo = mid
                else:
                    hi = mid
            found.append((hi, prev, offset_at(tz, hi)))
            prev = offset_at(tz, hi)
        t = nxt
    return found


def event_text(local_std):
    """The event text of a transition at this local standard time: the last
    or nth weekday of its month when that names the day, else the fixed day."""
    y, m, d = local_std.year, local_std.month, local_std.day
    weekday = (local_std.weekday() + 1) % 7 + 1  # 1 = Sunday .. 7 = Saturday
    last_day = calendar.monthrange(y, m)[1]
    if d > last_day - 7:
        kind = "L"
    else:
        kind = str((d - 1) // 7 + 1)
    clock = local_std.strftime("%H:%M:%S")
    return kind, weekday, m, clock


def zone_rule(zone, year):
    """(standard offset hours, start event, stop event, bias minutes) for a
    zone with one summer period in the year; (offset, None, None, 0) for a
    zone without daylight saving; None when the model cannot express it."""
    tz = zoneinfo.ZoneInfo(zone)
    changes = transitions(tz, year)
    jan1 = int(dt.datetime(year, 1, 1, tzinfo=UTC).timestamp())
    if not changes:
        return offset_at(tz, jan1) / 3600, None, None, 0
    offsets = {c[1] for c in changes} | {c[2] for c in changes}
    if len(changes) != 2 or len(offsets) != 2:
        return None
    std = min(offsets)
    dst = max(offsets)
    bias = (dst - std) // 60
    if (dst - std) % 60:
        return None
    start = stop = None
    for instant, before, after in changes:
        local_std = dt.datetime.fromtimestamp(instant + std, UTC).replace(tzinfo=None)
        kind, weekday, month, clock = event_text(local_std)
        if after == dst:
            start = f"{kind}.{weekday}.{month}.{bias}.{clock}"
        else:
            stop = f"{kind}.{weekday}.{month}.0.{clock}"
    if start is None or stop is None:
        return None
    return std / 3600, start, stop, bias


def folded(text):
    """Without accents or case, for telling that two spellings name one town."""
    text = unicodedata.normalize("NFKD", text.casefold())
    return "".join(ch for ch in text if not unicodedata.combining(ch))


def same_name(a, b):
    """"Sao Paulo" and "São Paulo", "Mexico" and "Mexico City"."""
    a, b = folded(a), folded(b)
    return a in b or b in a


def city_of_zone(zone):
    return zone.rsplit("/", 1)[-1].replace("_", " ")


def usual_offset(zone, year):
    """Offset in force longest during the year, for zones without a rule."""
    tz = zoneinfo.ZoneInfo(zone)
    start = int(dt.datetime(year, 1, 1, tzinfo=UTC).timestamp())
    end = int(dt.datetime(year + 1, 1, 1, tzinfo=UTC).timestamp())
    spans, t, cur = {}, start, offset_at(tz, start)
    for instant, _before, after in transitions(tz, year) + [(end, None, None)]:
        spans[cur] = spans.get(cur, 0) + instant - t
        t, cur = instant, after
    return max(sorted(spans), key=lambda k: spans[k]) / 3600


# --- records -----------------------------------------------------------------

def location_record(p):
    # The loaders skip lines that start with "#" or white space or hold
    # "VERSION:"; no place may look like one.
    assert p["name"] and p["name"][0] not in "# \t", p["name"]
    assert "/" not in p["rule"].split("/", 3)[3], p["rule"]
    return "\t".join([
        p["name"], fmt_float(p["std"]), "0", fmt_float(round(p["lat"], 5)),
        fmt_float(round(-p["lon"], 5)),  # the suite's longitude is west positive
        p["rule"], p["city"], p["region"], p["country"], p["code"],
    ]) + "!"


def font_text(colour):
    return "\t".join(["Arial", str(colour), "-13", "10", "0", "NNNN"])


def clock_record(p, analog):
    return "\t".join([
        "HXClockData-1.0.0:", "Location", "MMM DD", "HH:MM:SS",
        "Analog" if analog else "Digital", "False", "0",
        font_text(0) + "!", font_text(65280) + "!", location_record(p),
    ])


def local_clock_record():
    # The home clock: horolux gives it the computer's zone, name and offset
    # at the first start, and the title and the tray show it.
    home = "\t".join(["", "0", "0", "0", "0", NONE_RULE, "", "", "", ""]) + "!"
    return "\t".join([
        "HXClockData-1.0.0:", "Local", "MMM DD", "HH:MM:SS", "Digital", "False", "0",
        font_text(0) + "!", font_text(65280) + "!", home,
    ])


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--year", type=int, default=2026)
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), ".."))
    ap.add_argument("--min-population", type=int, default=15000)
    ap.add_argument("--data-version", default=None)
    args = ap.parse_args()
    year = args.year
    version = tz_version()
    data_version = args.data_version or f"{year}.{DATA_RELEASE}"

    countries = read_iso3166()
    zones = read_zone1970()
    cities = read_geonames()
    if not cities:
        print("warning: libgeonames0 is not installed; only the tz principal "
              "cities are listed", file=sys.stderr)

    # Rules of every zone the places use.
    needed = {z[3] for z in zones} | {c["tz"] for c in cities if c["tz"]}
    rules_by_zone, unknown_zones, missing_zones = {}, set(), set()
    for zone in sorted(needed):
        try:
            r = zone_rule(zone, year)
        except zoneinfo.ZoneInfoNotFoundError:
            missing_zones.add(zone)
            continue
        if r is None:
            unknown_zones.add(zone)
        rules_by_zone[zone] = r

    # One rule per distinct pair of events, named after its zones.
    groups = {}
    for zone, r in rules_by_zone.items():
        if r and r[1]:
            groups.setdefault((r[1], r[2]), []).append(zone)
    rule_text = {}
    used_names = set()
    named = dict(RULE_NAMES)
    for key in sorted(groups, key=lambda k: sorted(groups[k])[0]):
        members = sorted(groups[key])
        key_zone = next((z for z, _ in RULE_NAMES if z in members), None)
        if key_zone is None:
            key_zone = members[0]
            name = "Summer Time " + city_of_zone(key_zone)
        else:
            name = named[key_zone]
        members.remove(key_zone)
        members.insert(0, key_zone)
        base, n = name, 2
        while name in used_names:
            name, n = f"{base} {n}", n + 1
        used_names.add(name)
        examples = ", ".join(city_of_zone(z) for z in members[:3])
        more = f" and {len(members) - 3} more" if len(members) > 3 else ""
        notes = (f"Times in local standard time. From tz {version} for {year}: "
                 f"{examples}{more}")
        rule_text[key] = f"{name}/{key[0]}/{key[1]}/{notes}"

    def rule_of(zone):
        r = rules_by_zone.get(zone)
        if r is None:
            return UNKNOWN_RULE, usual_offset(zone, year)
        if r[1] is None:
            return NONE_RULE, r[0]
        return rule_text[(r[1], r[2])], r[0]

    # Places: every zone's principal city first, then the big cities. A
    # country is named as the city table names it, so that the location
    # manager groups its places under one name ("United States of America",
    # not also "United States").
    for c in sorted(cities, key=lambda c: (c["cc"], c["country"])):
        if c["cc"] and clean(c["country"]):
            countries[c["cc"]] = COMMON_COUNTRY_NAMES.get(c["cc"], clean(c["country"]))

    def country_of(c):
        return countries.get(c["cc"]) or clean(c["country"])
    places = []
    by_zone = {}
    for codes, lat, lon, zone, comment in zones:
        if zone in missing_zones:
            continue
        rule, std = rule_of(zone)
        p = {
            "name": city_of_zone(zone), "city": city_of_zone(zone),
            "region": comment if len(codes) == 1 else "",
            "country": countries.get(codes[0], codes[0]),
            "code": zone, "lat": lat, "lon": lon, "std": std, "rule": rule,
            "pop": 0,
        }
        places.append(p)
        by_zone.setdefault(zone, []).append(p)
    principal = {p["code"]: p for p in places}

    cities.sort(key=lambda c: (-c["pop"], c["name"], c["lat"], c["lon"]))
    biggest_of_country = set()
    seen_cc = set()
    for i, c in enumerate(cities):
        if c["cc"] not in seen_cc:
            seen_cc.add(c["cc"])
            biggest_of_country.add(i)
    taken = []
    for i, c in enumerate(cities):
        if not c["tz"] or c["tz"] in missing_zones:
            continue
        if (c["cc"], c["name"]) in NOT_CAPITALS:
            continue
        capital = c["pop"] < 15000
        if c["pop"] < args.min_population and not capital and i not in biggest_of_country:
            continue
        taken.append(c)

    # The zone's principal city is listed once: the row near it that bears
    # its name (whatever zone the table gives that row: the tz database knows
    # its own cities' zones better) gives it GeoNames' region and is not
    # listed again. A principal city named after its island or country
    # ("Faroe") takes the region of the biggest town near it in its zone,
    # which stays listed under its own name ("Tórshavn").
    merged = set()
    for p in places:
        near = [(i, c) for i, c in enumerate(taken)
                if distance_km(p["lat"], p["lon"], c["lat"], c["lon"]) < 12]
        named = [(i, c) for i, c in near if same_name(p["name"], c["name"])]
        if named:
            merged.add(named[0][0])
        near = named or [(i, c) for i, c in near if c["tz"] == p["code"]]
        if not near:
            continue
        c = near[0][1]
        p["pop"] = c["pop"]
        p["region"] = clean(c["state"])
        p["country"] = country_of(c) or p["country"]
    for i, c in enumerate(taken):
        if i in merged:
            continue
        rule, std = rule_of(c["tz"])
        places.append({
            "name": clean(c["name"]), "city": clean(c["name"]),
            "region": clean(c["state"]),
            "country": country_of(c), "code": c["tz"],
            "lat": c["lat"], "lon": c["lon"], "std": std, "rule": rule,
            "pop": c["pop"],
        })

    # Names are the key of the location-data merge: make them unique.
    seen = set()
    unique = []
    for p in places:
        for cand in (p["name"], f"{p['name']}, {p['region']}",
                     f"{p['name']}, {p['country']}",
                     f"{p['name']}, {p['region']}, {p['country']}"):
            if cand.strip(", ") and cand not in seen and not cand.endswith(", "):
                p["name"] = cand
                break
        else:
            continue
        seen.add(p["name"])
        unique.append(p)
    places = sorted(unique, key=lambda p: (p["name"].casefold(), p["name"]))

    no_rule = [p for p in places if p["rule"] == UNKNOWN_RULE]

    out = os.path.abspath(args.out)
    header = [
        "# Horolux known locations: name, standard UTC offset, host offset,",
        "# latitude (north positive), longitude (WEST positive), daylight-saving",
        "# rule, city, region, country, tz zone.",
        f"# Offsets and rules from the tz database {version} for {year};",
        "# cities from GeoNames (www.geonames.org, CC BY 4.0) and the tz",
        "# database's zone1970.tab. Made by data/gen/hxdata.py.",
    ]
    with open(os.path.join(out, "hxzones.hxd"), "w", encoding="utf-8", newline="") as f:
        for line in header:
            f.write(line + "\r\n")
        f.write(f"VERSION:\t{data_version}\r\n")
        for p in places:
            record = location_record(p)
            assert "VERSION:" not in record, record
            f.write(record + "\r\n")

    used_rules = sorted({p["rule"] for p in places} - {NONE_RULE, UNKNOWN_RULE},
                        key=lambda r: r.split("/")[0].casefold())
    with open(os.path.join(out, "hxdst.hxd"), "w", encoding="utf-8", newline="") as f:
        f.write("# Horolux daylight-saving rules: name/start/stop/notes, each\r\n")
        f.write("# event kind.weekday-or-day.month.bias.time (local standard time).\r\n")
        f.write(f"# From the tz database {version} for {year}. Made by data/gen/hxdata.py.\r\n")
        f.write(f"VERSION:\t{data_version}\r\n")
        f.write(NONE_RULE + "\r\n")
        f.write(UNKNOWN_RULE + "\r\n")
        for r in used_rules:
            f.write(r + "\r\n")

    with open(os.path.join(out, "hxclocks.hxd"), "w", encoding="utf-8", newline="") as f:
        f.write(local_clock_record() + "\r\n")
        for zone, analog in FIRST_CLOCKS:
            f.write(clock_record(principal[zone], analog) + "\r\n")

    with_rule = sum(1 for p in places if p["rule"] not in (NONE_RULE, UNKNOWN_RULE))
    print(f"tz {version}, year {year}: {len(places)} places, {len(used_rules)} rules, "
          f"{with_rule} places with daylight saving, "
          f"{len(places) - with_rule - len(no_rule)} without")
    print(f"places the rule model cannot express (standard offset, no rule): "
          f"{len(no_rule)}" + (f" ({', '.join(sorted(unknown_zones))})" if unknown_zones else ""))
    if missing_zones:
        print(f"zones missing from the host tz database, left out: {len(missing_zones)}")


if __name__ == "__main__":
    main()
