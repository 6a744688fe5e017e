#!/usr/bin/env python3
"""show --json and show --stable --json against docs/profile.schema.json.

The schema states the field rules; that it states them as tactl keeps them
is TactlTest's ProfileSchema test. Here: what show prints of a profile that
keeps the rules fits, what it prints of one that breaks them does not.

Usage: profile_schema_test.py TACTL SCHEMA
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import unittest

import jsonschema

TACTL, SCHEMA = sys.argv[1], sys.argv[2]
PROFILE_SIZE = 2928
MAGIC = b"TAPRF1.0\0"


def tactl(*args):
    return subprocess.run([TACTL, *args], check=True, capture_output=True).stdout


def scrambled(seed):
    """A record whose every byte is some value: texts without terminators,
    bytes above 0x7F, reserved bytes set, codes no item has."""
    rng = random.Random(seed)
    return MAGIC + bytes(rng.randrange(256) for _ in range(PROFILE_SIZE - len(MAGIC)))


class ProfileSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SCHEMA, encoding="utf-8") as f:
            cls.schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(cls.schema)
        cls.validator = jsonschema.Draft202012Validator(cls.schema)
        cls.dir = tempfile.TemporaryDirectory(prefix="profile-schema-")
        cls.files = {}
        for name, args in (("defaults", []), ("defaults --x25", ["--x25"])):
            path = os.path.join(cls.dir.name, name.replace(" ", "") + ".cfg")
            tactl("defaults", *args, "-o", path)
            cls.files[name] = path
        # A basic model's query: its USB port and X.25 never read, all zero.
        with open(cls.files["defaults"], "rb") as f:
            record = bytearray(f.read())
        record[834:834 + 818] = bytes(818)
        path = os.path.join(cls.dir.name, "unread.cfg")
        with open(path, "wb") as f:
            f.write(record)
        cls.files["unread"] = path
        for seed in range(3):
            path = os.path.join(cls.dir.name, f"scrambled{seed}.cfg")
            with open(path, "wb") as f:
                f.write(scrambled(seed))
            cls.files[f"scrambled {seed}"] = path

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def shown(self, name, *options):
        return json.loads(tactl("show", "--json", *options, self.files[name]))

    def errors(self, document):
        return [error.message for error in self.validator.iter_errors(document)]

    def test_profiles_that_keep_the_rules_fit(self):
        for name in ("defaults", "defaults --x25", "unread"):
            for options in ((), ("--stable",)):
                with self.subTest(file=name, options=options):
                    self.assertEqual(self.errors(self.shown(name, *options)), [])

    def test_profiles_that_break_the_rules_do_not_fit(self):
        for seed in range(3):
            with self.subTest(seed=seed):
                self.assertNotEqual(self.errors(self.shown(f"scrambled {seed}")), [])

    def test_schema_names_exactly_what_show_prints(self):
        # The defaults with X.25 give every coded field a value with a label.
        self.assertEqual(set(self.schema["properties"]), set(self.shown("defaults --x25")))

    def test_stable_output_leaves_out_only_what_is_not_required(self):
        every, stable = self.shown("scrambled 0"), self.shown("scrambled 0", "--stable")
        left_out = set(every) - set(stable)
        self.assertEqual(left_out, {"sysDate", "sysTime"})
        self.assertFalse(left_out & set(self.schema["required"]))

    def test_outputs_that_are_not_shows_are_refused(self):
        def without(key):
            return lambda d: d.pop(key)

        def setting(key, value):
            return lambda d: d.__setitem__(key, value)

        mutations = {
            "a number as a string": setting("redialCount", "3"),
            "a byte above 255": setting("countryCode", 256),
            "a negative number": setting("x75TxFrameSize", -1),
            "a word above 65535": setting("x75TxFrameSize", 65536),
            "a fraction": setting("redialCount", 1.5),
            "a text too long": setting("dataPort1.dn", "1" * 34),
            "a sub-address too long": setting("vp1SubAddr", "1" * 22),
            "a character beyond one byte": setting("vp2Dn", "\u0100"),
            "a text as a number": setting("dataPort1.dn", 5),
            "another magic": setting("magic", "TAPRF2.0"),
            "a label of no item": setting("countryCode.label", "Mars"),
            "a code no item has": setting("countryCode", 60),
            "a flag of 2": setting("dataPort1.clipClir", 2),
            "a redial count above 10": setting("redialCount", 200),
            "a number with letters": setting("dataPort1.dn", "q41777"),
            "a number of 33 digits": setting("dataPort1.preStoredDn[2]", "7" * 33),
            "a date that is none": setting("sysDate", "99-99-9999"),
            "a time past midnight": setting("sysTime", "25:61:61"),
            "an unknown field": setting("dataPort3.dn", ""),
            "a missing setting": without("dataPort2.callType"),
            "a missing header": without("magic"),
        }
        for name, mutate in mutations.items():
            with self.subTest(mutation=name):
                document = self.shown("defaults")
                mutate(document)
                self.assertNotEqual(self.errors(document), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
