#!/usr/bin/python3
"""Helpers for scripts/demo: the demo workshop's configuration and its panel.

Works on the JSON that `foresyn-cli dump` prints and `foresyn-cli build`
reads, so the demo needs nothing but the command-line tool and Python's
standard library.

  demo.py config                 print the demo configuration (demo-config.json)
  demo.py join JSON ENTRY        print the round-1 file of roster entry ENTRY
                                 (0-based) joining from configuration JSON,
                                 as the welcome wizard makes it
  demo.py answer JSON            print the participant's file with this round's
                                 answers and expert nominations filled in
  demo.py spread JSON PRODUCT YEAR
                                 print the panel Minimum, Median and Maximum of
                                 the product's annual sales in YEAR that the
                                 file carries as feedback
"""

import json
import sys

FIRST_YEAR, LAST_YEAR = 2025, 2029
ROSTER = [
    ("A1C3E5F70B2D4E61", "Alice Moreau"),
    ("B2D4F6081C3E5F72", "Bogdan Ilic"),
    ("C3E5071A2D4F6083", "Chen Wei"),
    ("D4F6182B3E507194", "Dara O'Neill"),
    ("E507293C4F6182A5", "Emeka Obi"),
    ("F618304D507293B6", "Freya Lund"),
]
# name, product ID, launch year, base plan of the first year, yearly growth,
# curves: (name, effort prefix, effort suffix, efforts of points 0..4)
PRODUCTS = [
    ("Kettle Pro", "5A17C0FFEE0B0A01", 2025, 1200.0, 0.04,
     [("Advertising", "$", " k", [0, 50, 100, 150, 200])]),
    ("Air Purifier", "5A17C0FFEE0B0A02", 2025, 800.0, 0.08,
     [("Advertising", "$", " k", [0, 40, 80, 120, 160]),
      ("Sales Force", "", " reps", [0, 5, 10, 15, 20])]),
    ("Smart Thermostat", "5A17C0FFEE0B0A03", 2026, 300.0, 0.25,
     [("Advertising", "$", " k", [0, 60, 120, 180, 240]),
      ("Sales Force", "", " reps", [0, 3, 6, 9, 12]),
      ("Retail Promotion", "", " stores", [0, 25, 50, 75, 100])]),
]
# Sales at points 0..4 relative to the base plan (point 2).
SHAPE = [0.72, 0.9, 1.0, 1.06, 1.09]
BASE = 2
ROWS = 8


def curve_points(base, c):
    """A curve's row-0 figures: the later curves respond a little less."""
    return [round(base * (1 - (1 - s) * (1 - 0.15 * c)), 1) for s in SHAPE]


def set_extremes(year, curves):
    """Row-0 Zero-Zero and Max-Max inside what the model's setters allow."""
    bottoms = [c["Years"][year]["Sales"][0][0] for c in curves]
    tops = [c["Years"][year]["Sales"][0][4] for c in curves]
    return round(min(bottoms) * 0.92, 1), round(max(tops) * 1.04, 1)


def make_config():
    years = LAST_YEAR - FIRST_YEAR + 1
    products = []
    for name, pid, launch, base0, growth, curves in PRODUCTS:
        curve_records = []
        for c, (cname, eprefix, esuffix, efforts) in enumerate(curves):
            cyears = []
            for y in range(years):
                year = FIRST_YEAR + y
                sales = [[0.0] * 5 for _ in range(ROWS)]
                if year >= launch:
                    base = base0 * (1 + growth) ** (year - launch)
                    sales[0] = curve_points(base, c)
                cyears.append({"BasePosition": BASE,
                               "Effort": [float(e) for e in efforts],
                               "Sales": sales})
            curve_records.append({
                "Name": cname, "CurveId": 7301 + 10 * len(products) + c,
                "FirstYear": FIRST_YEAR, "LastYear": LAST_YEAR, "Round": 1, "Flag": True,
                "EffortSuffix": esuffix, "EffortPrefix": eprefix, "EffortDecimals": 0,
                "SalesSuffix": " k", "SalesPrefix": "$", "SalesDecimals": 1,
                "Years": cyears})
        pyears = []
        for y in range(years):
            row = lambda v: [v] + [0.0] * (ROWS - 1)
            if FIRST_YEAR + y >= launch:
                zz, mm = set_extremes(y, curve_records)
                sales = curve_records[0]["Years"][y]["Sales"][0][BASE]
            else:
                zz = mm = sales = 0.0
            pyears.append({"MarketSales": round(sales * 6.5, 1), "UnitPrice": 49.0,
                           "Sales": row(sales), "ZeroZero": row(zz), "MaxMax": row(mm)})
        products.append({
            "Version": 1.0, "Curves": curve_records, "ProductId": pid, "Round": 1,
            "FirstYear": FIRST_YEAR, "LastYear": LAST_YEAR, "LaunchYear": launch,
            "ExpertRank": -1, "Nominations": ["", "", ""], "Name": name, "Years": pyears})
    return {
        "Version": 1.0, "Products": products,
        "Roster": [f"{rid}={name}" for rid, name in ROSTER],
        "FirstYear": FIRST_YEAR, "LastYear": LAST_YEAR, "Name": "", "Email": "",
        "Company": "Lindgren Home Appliances", "RosterId": "", "SalesPrefix": "$",
        "SalesSuffix": " k", "Number": 0, "Round": 1, "SalesDecimals": 1, "Included": True}


def join(config, entry):
    """What the welcome wizard sets when a member picks their roster entry."""
    rid, name = config["Roster"][entry].split("=", 1)
    config["Number"] = entry + 1
    config["RosterId"] = rid
    config["Name"] = name
    config["Email"] = name.split()[0].lower() + "@example.org"
    return config


# How each member leans: a steady optimist, a sceptic, ... (by participant number)
LEANING = {1: 0.10, 2: -0.08, 3: 0.03, 4: -0.15, 5: 0.18}
# Whom each member nominates, per product: roster entries in order of
# preference. Freya (entry 5) never returns a file, yet some nominate her.
NOMINEES = {1: [[2, 4], [3, 1, 5], [4]],
            2: [[2, 3, 0], [3, 4], [5, 3]],
            3: [[0, 4, 3], [1], [3, 4, 5]],
            4: [[2], [0, 3, 4], [3, 5]],
            5: [[2, 0], [3, 1, 0], [5, 4, 3]]}


def answer(p):
    """This round's answers: the member's own view, pulled towards the panel
    Median once there is feedback, shifted so that every curve of a product
    meets the product's annual sales at the base point."""
    number, rnd = p["Number"], p["Round"]
    lean = LEANING.get(number, 0.0) / rnd
    pull = 0.0 if rnd == 1 else 0.45
    for product in p["Products"]:
        launch = product["LaunchYear"]
        for y, year_block in enumerate(product["Years"]):
            if FIRST_YEAR + y < launch:
                continue
            own = year_block["Sales"][0]
            median = year_block["Sales"][2]
            annual = ((1 - pull) * own + pull * (median or own)) * (1 + lean)
            annual = round(annual, 1)
            for c in product["Curves"]:
                cy = c["Years"][y]
                b = cy["BasePosition"]
                pts = cy["Sales"][0]
                med = cy["Sales"][2]
                blended = [(1 - pull) * a + pull * (m or a) for a, m in zip(pts, med)]
                shift = annual - blended[b]
                cy["Sales"][0] = [round(max(v + shift, 0.0), 1) for v in blended]
                cy["Sales"][0][b] = annual
            year_block["Sales"][0] = annual
            zz, mm = set_extremes(y, product["Curves"])
            year_block["ZeroZero"][0] = zz
            year_block["MaxMax"][0] = mm
    if rnd == 1 or rnd == 3:  # nominate at the start, revise once midway
        for j, product in enumerate(p["Products"]):
            picks = NOMINEES.get(number, [[], [], []])[j % 3]
            if rnd == 3:
                picks = picks[::-1]
            ids = [p["Roster"][e].split("=", 1)[0] for e in picks]
            product["Nominations"] = (ids + ["", "", ""])[:3]
    return p


def main(argv):
    if len(argv) == 2 and argv[1] == "config":
        out = make_config()
    elif len(argv) == 4 and argv[1] == "join":
        out = join(json.load(open(argv[2])), int(argv[3]))
    elif len(argv) == 3 and argv[1] == "answer":
        out = answer(json.load(open(argv[2])))
    elif len(argv) == 5 and argv[1] == "spread":
        p = json.load(open(argv[2]))
        product = next(x for x in p["Products"] if x["Name"] == argv[3])
        sales = product["Years"][int(argv[4]) - product["FirstYear"]]["Sales"]
        print(sales[3], sales[2], sales[1])
        return 0
    else:
        sys.stderr.write(__doc__)
        return 2
    json.dump(out, sys.stdout, indent=1)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
