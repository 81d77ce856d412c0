#!/usr/bin/env python3
"""Builds the location list (hxzones.hxd), the rule file (hxdst.hxd) and the
first clocks (hxclocks.hxd) from the tz release the project carries (data/tz,
compiled here with zic) and, when the library is installed, the GeoNames city
table that Debian ships in libgeonames0.

    python3 data/gen/hxdata.py [--from 2026-12-09] [--tz data/tz] [--out data]

The places are the table's towns of 15,000 people or more and its capitals.
The table is GeoNames' "cities15000" (every place over 15,000 people and
every capital); the library gives no feature codes, so the rows under
15,000 people are taken as its capitals, except the few rows without any
population that are not capitals (NOT_CAPITALS).

Every place gets the standard offset and daylight-saving rule in force over
the twelve months from the data's date (--from), written in the rule model of
the suite: first/second/third/fourth or last weekday of a month, or a fixed
day, at a time of day in local standard time, with the minutes added. Each
event takes the form that is right in most of the next ten years; the years it
misses, and any span of the twelve months that the yearly model cannot follow
(a law that changes within them), are written in the rule's notes.

The output depends only on the tz source, the city table and the arguments,
so running it twice gives the same files.
"""

import argparse
import calendar
import ctypes
import datetime as dt
import difflib
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import zoneinfo

HERE = os.path.dirname(os.path.abspath(__file__))
TZ_SOURCE = os.path.join(HERE, "..", "tz")
UTC = dt.timezone.utc
# The data's date: the twelve months the rules are chosen for start here.
DATA_FROM = "2026-12-09"
# How far ahead an event's form is judged, in years.
HORIZON_YEARS = 10

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
# of 15,000 people and more; 3: tz 2026f for the twelve months from
# 2026-12-09, places in their own zones, once).
DATA_RELEASE = 3

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

# Rows whose zone the city table gets wrong: the tz database gives these
# towns another zone than their state's (the US-border municipalities of
# Coahuila, Nuevo León and Tamaulipas keep US rules; Bahía de Banderas keeps
# Central time; Xinjiang keeps its own time).
ZONE_FIXES = {
    ("MX", "San José del Valle"): "America/Bahia_Banderas",
    ("MX", "Ciudad Río Bravo"): "America/Matamoros",
    ("MX", "Valle Hermoso"): "America/Matamoros",
    ("MX", "Ciudad Miguel Alemán"): "America/Matamoros",
    ("MX", "Nava"): "America/Matamoros",
    ("CN", "Bole"): "Asia/Urumqi",
}

# Names the city table writes in another script.
LATIN_NAMES = {
    ("MN", "Зуунмод"): "Zuunmod",
}

# Capitals the city table lacks, under their own names, at the coordinates
# of zone.tab (whose zone is named after the island or the state).
CAPITALS = {
    "America/Curacao": "Willemstad",
    "America/Aruba": "Oranjestad",
    "Europe/Vatican": "Vatican City",
    "America/Marigot": "Marigot",
    "America/St_Barthelemy": "Gustavia",
    "America/Tortola": "Road Town",
    "America/Lower_Princes": "Lower Prince's Quarter",
    "Indian/Cocos": "West Island",
    "Indian/Christmas": "Flying Fish Cove",
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


def tz_version(tzsrc):
    try:
        with open(os.path.join(tzsrc, "tzdata.zi"), encoding="utf-8") as f:
            first = f.readline().split()
            if len(first) >= 3 and first[1] == "version":
                return first[2]
    except OSError:
        pass
    return "unknown"


def read_iso3166(tzsrc):
    names = {}
    with open(os.path.join(tzsrc, "iso3166.tab"), encoding="utf-8") as f:
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


def read_links(tzsrc):
    """Link name -> zone, from the "L zone link" lines of tzdata.zi."""
    links = {}
    with open(os.path.join(tzsrc, "tzdata.zi"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("L "):
                _l, target, name = line.split()
                links[name] = target
    return links


def read_zone_table(tzsrc, name):
    """Rows (country codes, lat, lon, zone, comment) of zone1970.tab or zone.tab."""
    rows = []
    with open(os.path.join(tzsrc, name), encoding="utf-8") as f:
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

def compile_tz(tzsrc):
    """The carried tz source compiled with zic into a temporary directory that
    Python's zoneinfo then reads (never the host's zone files)."""
    zic = shutil.which("zic") or "/usr/sbin/zic"
    out = tempfile.mkdtemp(prefix="hxdata-tz-")
    subprocess.run([zic, "-d", out, os.path.join(tzsrc, "tzdata.zi")], check=True)
    zoneinfo.reset_tzpath([out])
    zoneinfo.ZoneInfo.clear_cache()
    return out


def offset_at(tz, ts):
    """UTC offset in whole seconds at the UTC instant ts (seconds)."""
    return int(dt.datetime.fromtimestamp(ts, tz).utcoffset().total_seconds())


def transitions(tz, start, end):
    """(instant, offset before, offset after) of every change in [start, end)."""
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


EPOCH = dt.datetime(1899, 12, 30)


def event_date(ev, year):
    """The transition of an event (kind, day, month, seconds of the day) in a
    year, as the suite's rule model computes it, in local standard time."""
    kind, day, month, secs = ev
    if kind == 6:
        d = day
    else:
        first_wd = (dt.date(year, month, 1).weekday() + 1) % 7 + 1  # 1 = Sunday
        first = 1 + (day - first_wd + 7) % 7
        if kind <= 4:
            d = first + 7 * (kind - 1)
        else:
            last = calendar.monthrange(year, month)[1]
            e = (dt.date(year, month, last).weekday() + 1) % 7 + 1
            d = last - (e - day + 7) % 7
    try:
        base = dt.datetime(year, month, d)
    except ValueError:
        return EPOCH + dt.timedelta(days=d)  # a date that does not exist
    return base + dt.timedelta(seconds=secs)


def model_bias(rule, x):
    """Minutes the rule adds at the local standard time x (the suite's model:
    strict comparisons, a southern rule runs over the new year)."""
    start, stop, bias = rule
    y = x.year
    if stop[2] >= start[2]:
        a, b = event_date(start, y), event_date(stop, y)
    else:
        s_y = event_date(stop, y)
        a = event_date(start, y - 1) if x < s_y else event_date(start, y)
        b = s_y if x <= s_y else event_date(stop, y + 1)
    return bias if a < x < b else 0


def event_forms(local):
    """Every form of the rule model that names this local standard time."""
    y, m, d = local.year, local.month, local.day
    weekday = (local.weekday() + 1) % 7 + 1  # 1 = Sunday .. 7 = Saturday
    secs = local.hour * 3600 + local.minute * 60 + local.second
    forms = [(6, d, m, secs)]
    if d <= 28:
        forms.append(((d - 1) // 7 + 1, weekday, m, secs))
    if d > calendar.monthrange(y, m)[1] - 7:
        forms.append((5, weekday, m, secs))
    return forms


KIND_TOKEN = {1: "1", 2: "2", 3: "3", 4: "4", 5: "L", 6: "S"}
KIND_PREFERENCE = {5: 3, 1: 2, 2: 2, 3: 2, 4: 2, 6: 1}


def event_text(ev, bias):
    kind, day, month, secs = ev
    return (f"{KIND_TOKEN[kind]}.{day}.{month}.{bias}."
            f"{secs // 3600:02d}:{secs // 60 % 60:02d}:{secs % 60:02d}")


def best_form(changes, window_end):
    """The event form right for most of the changes (local standard times),
    those of the twelve months first; and the years it misses."""
    counts = {}
    for local in changes:
        for f in event_forms(local):
            counts.setdefault(f, [0, 0])
    for f, c in counts.items():
        for local in changes:
            if event_date(f, local.year) == local:
                c[0] += 1
                if local < window_end:
                    c[1] += 1
    best = max(counts, key=lambda f: (counts[f][0], counts[f][1],
                                      KIND_PREFERENCE[f[0]], -f[1], f))
    misses = sorted({local.year for local in changes if event_date(best, local.year) != local})
    return best, misses


def wrong_spans(tz, candidate, start, hours):
    """Hours of the twelve months at which the candidate (std seconds, rule or
    None) tells another offset than tz, as [first, last] UTC hour spans."""
    std, rule = candidate
    spans = []
    for h in range(hours):
        ts = start + h * 3600 + 420  # seven minutes past: never a change itself
        local = dt.datetime(1970, 1, 1) + dt.timedelta(seconds=ts + std)
        model = std + (model_bias(rule, local) * 60 if rule else 0)
        if model != offset_at(tz, ts):
            if spans and spans[-1][1] == h - 1:
                spans[-1][1] = h
            else:
                spans.append([h, h])
    return spans


def zone_rule(zone, start, end, horizon):
    """The standard offset (hours), rule ((start, stop, bias) or None), the
    years beyond the twelve months whose change the rule misses and the spans
    of the twelve months it gets wrong (UTC datetimes), for a zone."""
    tz = zoneinfo.ZoneInfo(zone)
    hours = (end - start) // 3600
    in_window = transitions(tz, start, end)
    ahead = transitions(tz, start, horizon)
    candidates = []
    offsets = {c[1] for c in ahead} | {c[2] for c in ahead}
    if len(offsets) == 2 and (max(offsets) - min(offsets)) % 60 == 0:
        std, dst = min(offsets), max(offsets)
        window_end = dt.datetime(1970, 1, 1) + dt.timedelta(seconds=end + std)

        def local(ts):
            return dt.datetime(1970, 1, 1) + dt.timedelta(seconds=ts + std)
        starts = [local(t) for t, _b, a in ahead if a == dst]
        stops = [local(t) for t, _b, a in ahead if a == std]
        if starts and stops:
            f_start, miss_a = best_form(starts, window_end)
            f_stop, miss_b = best_form(stops, window_end)
            rule = (f_start, f_stop, (dst - std) // 60)
            candidates.append(((std, rule), sorted(set(miss_a) | set(miss_b))))
    constant = [offset_at(tz, start)] + [c[2] for c in in_window]
    for o in sorted(set(constant), key=constant.index):
        candidates.append(((o, None), []))
    best = None
    for cand, misses in candidates:
        spans = wrong_spans(tz, cand, start, hours) if in_window or cand[1] else []
        wrong = sum(b - a + 1 for a, b in spans)
        if best is None or wrong < best[0]:
            best = (wrong, cand, misses, spans)
    _wrong, (std, rule), misses, spans = best

    def utc(h):
        return dt.datetime.fromtimestamp(start + h * 3600, UTC)
    return std / 3600, rule, misses, [(utc(a), utc(b)) for a, b in spans]


def describe_changes(zone, years, start, horizon):
    """Short words for the changes tz makes in the years a rule misses."""
    tz = zoneinfo.ZoneInfo(zone)
    out = []
    for t, before, after in transitions(tz, start, horizon):
        when = dt.datetime.fromtimestamp(t, UTC)
        if when.year in years:
            out.append(f"{when:%Y-%m-%d %H:%M} UTC to UTC{after / 3600:+g}")
    return out


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


def loose(text):
    """Letters and digits only, without accents or case: "St. John's" and
    "St Johns" are one name."""
    return "".join(ch for ch in folded(text) if ch.isalnum())


def one_town(a, b):
    """Two spellings of one town's name: "Cancun" and "Cancún", "Tirane"
    and "Tirana", "Aqtobe" and "Aktobe"."""
    a, b = loose(a), loose(b)
    if not a or not b:
        return False
    return a in b or b in a or difflib.SequenceMatcher(None, a, b).ratio() >= 0.8


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
    ap.add_argument("--from", dest="start", default=DATA_FROM,
                    help="the data's date (YYYY-MM-DD): the rules hold for the "
                         "twelve months from it")
    ap.add_argument("--tz", default=TZ_SOURCE,
                    help="the tz source: tzdata.zi, zone1970.tab, zone.tab, iso3166.tab")
    ap.add_argument("--out", default=os.path.join(HERE, ".."))
    ap.add_argument("--min-population", type=int, default=15000)
    ap.add_argument("--data-version", default=None)
    args = ap.parse_args()
    tzsrc = os.path.abspath(args.tz)
    first = dt.datetime.strptime(args.start, "%Y-%m-%d").replace(tzinfo=UTC)
    last = first.replace(year=first.year + 1)
    start, end = int(first.timestamp()), int(last.timestamp())
    horizon = int(first.replace(year=first.year + HORIZON_YEARS).timestamp())
    version = tz_version(tzsrc)
    data_version = args.data_version or f"{first.year}.{DATA_RELEASE}"
    span_text = f"{first:%Y-%m-%d} to {last:%Y-%m-%d}"
    compiled = compile_tz(tzsrc)

    countries = read_iso3166(tzsrc)
    zones = read_zone_table(tzsrc, "zone1970.tab")
    zone_tab = read_zone_table(tzsrc, "zone.tab")
    cities = read_geonames()
    if not cities:
        print("warning: libgeonames0 is not installed; only the tz principal "
              "cities are listed", file=sys.stderr)

    # The zones of each country, and where each zone's city lies. A link
    # ("Europe/Kiev") is the zone it names.
    links = read_links(tzsrc)

    def canonical(zone):
        seen = set()
        while zone in links and zone not in seen:
            seen.add(zone)
            zone = links[zone]
        return zone
    country_zones, zone_at = {}, {}
    for codes, lat, lon, zone, _comment in zones + zone_tab:
        zone_at.setdefault(zone, (lat, lon))
        for cc in codes:
            country_zones.setdefault(cc, set()).add(zone)
    canonical_zones = {cc: {canonical(z) for z in own} for cc, own in country_zones.items()}

    # Every town in its own country's zone: a row of the table whose zone
    # belongs to another country takes its country's nearest zone.
    moved = []
    for c in cities:
        c["name"] = LATIN_NAMES.get((c["cc"], c["name"]), c["name"])
        fix = ZONE_FIXES.get((c["cc"], c["name"]))
        if fix:
            moved.append((c["name"], c["tz"], fix))
            c["tz"] = fix
            continue
        own = country_zones.get(c["cc"])
        if c["tz"] and own and canonical(c["tz"]) not in canonical_zones[c["cc"]]:
            near = min(sorted(own), key=lambda z: distance_km(c["lat"], c["lon"], *zone_at[z]))
            moved.append((c["name"], c["tz"], near))
            c["tz"] = near

    # Rules of every zone the places use.
    needed = {z[3] for z in zones} | {z[3] for z in zone_tab} | {c["tz"] for c in cities if c["tz"]}
    rules_by_zone, missing_zones = {}, set()
    for zone in sorted(needed):
        try:
            rules_by_zone[zone] = zone_rule(zone, start, end, horizon)
        except zoneinfo.ZoneInfoNotFoundError:
            missing_zones.add(zone)

    def shown(t):
        return f"{t:%Y-%m-%d %H:%M}"

    def miss_notes(zone, r):
        std, rule, misses, spans = r
        words = []
        if spans:
            wrong = ", ".join(f"{shown(a)} to {shown(b + dt.timedelta(hours=1))}"
                              for a, b in spans)
            changes = ", ".join(describe_changes(zone, {a.year for a, _b in spans}
                                                 | {b.year for _a, b in spans}, start, end))
            words.append(f"Wrong {wrong} UTC (tz changes {changes}), "
                         "which the yearly model cannot follow.")
        if misses:
            dates = []
            for t, _b, _a in transitions(zoneinfo.ZoneInfo(zone), start, horizon):
                local = dt.datetime(1970, 1, 1) + dt.timedelta(seconds=t + int(std * 3600))
                if local.year in misses and rule and all(
                        event_date(ev, local.year) != local for ev in rule[:2]):
                    dates.append(f"{local:%Y-%m-%d}")
            words.append("Misses tz's change of " + ", ".join(dates) + ".")
        return " ".join(words)

    # One rule per distinct pair of events and misses, named after its zones.
    groups = {}
    for zone, r in rules_by_zone.items():
        std, rule, misses, spans = r
        if rule or spans:
            key = (event_text(rule[0], rule[2]) if rule else "N.1.1.0.02:00:00",
                   event_text(rule[1], 0) if rule else "N.1.1.0.02:00:00",
                   miss_notes(zone, r))
            groups.setdefault(key, []).append(zone)
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
        notes = (f"Times in local standard time. From tz {version} for {span_text}: "
                 f"{examples}{more}.")
        if key[2]:
            notes += " " + key[2]
        assert "/" not in notes and "!" not in notes and "\t" not in notes, notes
        for zone in groups[key]:
            rule_text[zone] = f"{name}/{key[0]}/{key[1]}/{notes}"

    def rule_of(zone):
        std = rules_by_zone[zone][0]
        return rule_text.get(zone, NONE_RULE), std

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
    for codes, lat, lon, zone, comment in zones:
        if zone in missing_zones:
            continue
        rule, std = rule_of(zone)
        places.append({
            "name": city_of_zone(zone), "city": city_of_zone(zone),
            "region": comment if len(codes) == 1 else "",
            "country": countries.get(codes[0], codes[0]), "cc": codes[0],
            "code": zone, "lat": lat, "lon": lon, "std": std, "rule": rule,
            "pop": 0,
        })
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

    # One record per town. The city table lists a few towns more than once:
    # a big city's numbered districts ("Marseille 01") beside the city, and
    # spellings of one town of one region a few kilometres apart; the
    # biggest row stays. Namesakes across a border (Kansas City, Kansas and
    # Missouri) are two towns.
    kept = []
    by_key = {}
    for c in taken:
        m = re.match(r"^(.*\S) \d{1,2}$", c["name"])
        key = (c["cc"], c["state"], loose(m.group(1) if m else c["name"]))
        twin = next((k for k in by_key.get(key, [])
                     if distance_km(c["lat"], c["lon"], k["lat"], k["lon"]) < 20), None)
        if twin is not None and (m or loose(c["name"]) == loose(twin["name"])):
            continue
        by_key.setdefault(key, []).append(c)
        kept.append(c)
    dropped = len(taken) - len(kept)
    taken = kept

    # The zone's principal city is listed once: the row near it that bears
    # its name in any spelling (whatever zone the table gives that row: the
    # tz database knows its own cities' zones better) gives it GeoNames'
    # region and is not listed again; a spelling the search would not find
    # from the tz name becomes the city ("Tirane - Tirana"). A principal city
    # named after its island or country ("Faroe") takes the region of the
    # biggest town near it in its zone, which stays listed under its own name
    # ("Tórshavn").
    merged = set()
    for p in places:
        near = [(i, c) for i, c in enumerate(taken) if i not in merged and
                distance_km(p["lat"], p["lon"], c["lat"], c["lon"]) < 40]
        named_rows = [(i, c) for i, c in near if one_town(p["name"], c["name"])
                      and c["cc"] == p["cc"] or same_name(p["name"], c["name"])
                      and distance_km(p["lat"], p["lon"], c["lat"], c["lon"]) < 12]
        if named_rows:
            i, c = named_rows[0]
            merged.add(i)
            if folded(c["name"]) not in folded(p["name"]) and \
                    folded(p["name"]) not in folded(c["name"]):
                p["city"] = clean(c["name"])
        near = named_rows or [(i, c) for i, c in near if c["tz"] == p["code"] and
                              distance_km(p["lat"], p["lon"], c["lat"], c["lon"]) < 12]
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
            "region": clean(c["state"]), "cc": c["cc"],
            "country": country_of(c), "code": c["tz"],
            "lat": c["lat"], "lon": c["lon"], "std": std, "rule": rule,
            "pop": c["pop"],
        })

    # Every country of the tz tables has a place: the capitals the city table
    # lacks come from zone.tab, whose zone lies at the capital.
    have = {p["cc"] for p in places} | {c["cc"] for c in taken}
    added = []
    for codes, lat, lon, zone, comment in zone_tab:
        cc = codes[0]
        if cc in have and zone not in CAPITALS:
            continue
        if zone in missing_zones or any(p["code"] == zone for p in places):
            continue
        name = CAPITALS.get(zone, city_of_zone(zone))
        rule, std = rule_of(zone)
        places.append({
            "name": name, "city": name, "region": comment, "cc": cc,
            "country": countries.get(cc, cc), "code": zone,
            "lat": lat, "lon": lon, "std": std, "rule": rule, "pop": 0,
        })
        added.append(name)

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

    out = os.path.abspath(args.out)
    header = [
        "# Horolux known locations: name, standard UTC offset, host offset,",
        "# latitude (north positive), longitude (WEST positive), daylight-saving",
        "# rule, city, region, country, tz zone.",
        f"# Offsets and rules from the tz database {version} for {span_text};",
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
        f.write(f"# From the tz database {version} for {span_text}. "
                "Made by data/gen/hxdata.py.\r\n")
        f.write(f"VERSION:\t{data_version}\r\n")
        f.write(NONE_RULE + "\r\n")
        f.write(UNKNOWN_RULE + "\r\n")
        for r in used_rules:
            f.write(r + "\r\n")

    with open(os.path.join(out, "hxclocks.hxd"), "w", encoding="utf-8", newline="") as f:
        f.write(local_clock_record() + "\r\n")
        for zone, analog in FIRST_CLOCKS:
            f.write(clock_record(principal[zone], analog) + "\r\n")
    shutil.rmtree(compiled, ignore_errors=True)

    with_rule = sum(1 for p in places if p["rule"] != NONE_RULE)
    print(f"tz {version}, {span_text}: {len(places)} places, {len(used_rules)} rules, "
          f"{with_rule} places with a rule of their own, {len(places) - with_rule} without")
    print(f"rows moved to their own country's zone: {len(moved)}")
    for name, old, new in moved:
        print(f"  {name}: {old} -> {new}")
    print(f"rows left out as another row's town: {dropped}; principal cities merged "
          f"with a row: {len(merged)}; capitals added from zone.tab: {', '.join(added)}")
    for r in used_rules:
        notes = r.split("/", 3)[3]
        if "Wrong" in notes or "Misses" in notes:
            print("  rule with misses:", r.split("/")[0], "-", notes.split(". ", 2)[-1])
    if missing_zones:
        print(f"zones missing from the tz source, left out: {len(missing_zones)}")


if __name__ == "__main__":
    main()
