#!/usr/bin/env python3
"""What tactl prints with --json (ports, identify, query, diff, diff --ta,
apply and their failures) against docs/tactl.schema.json, with tasim as the TA.

Usage: tactl_schema_test.py TACTL TASIM SCHEMA
"""
import copy
import json
import os
import pty
import subprocess
import sys
import tempfile
import unittest

import jsonschema

TACTL, TASIM, SCHEMA = sys.argv[1], sys.argv[2], sys.argv[3]


class TactlSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SCHEMA, encoding="utf-8") as f:
            cls.schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(cls.schema)
        cls.dir = tempfile.TemporaryDirectory(prefix="tactl-schema-")
        cls.tasim = subprocess.Popen([TASIM], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        cls.port = cls.tasim.stdout.readline().strip()
        # A pseudo-terminal nobody answers on.
        cls.master, slave = pty.openpty()
        cls.silent = os.ttyname(slave)
        cls.slave = slave
        cls.profile = cls.path("d.cfg")
        cls.changed = cls.path("e.cfg")
        cls.run_tactl("", "defaults", "-o", cls.profile)
        cls.run_tactl("", "defaults", "-o", cls.changed)
        cls.run_tactl("", "set", cls.changed, "redialCount=3", "dataPort1.dn=0301234")

    @classmethod
    def tearDownClass(cls):
        cls.tasim.terminate()
        cls.tasim.wait()
        os.close(cls.master)
        os.close(cls.slave)
        cls.dir.cleanup()

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir.name, name)

    @classmethod
    def run_tactl(cls, ports, *args):
        env = dict(os.environ, TA_SERIAL_PORTS=ports)
        return subprocess.run([TACTL, *args], env=env, capture_output=True, timeout=100)

    def output(self, ports, *args, exit_code=0):
        run = self.run_tactl(ports, *args)
        self.assertEqual(run.returncode, exit_code, run.stderr.decode(errors="replace"))
        return json.loads(run.stdout)

    def errors(self, definition, document):
        validator = jsonschema.Draft202012Validator({"$defs": self.schema["$defs"], "$ref": "#/$defs/" + definition})
        return [error.message for error in validator.iter_errors(document)]

    def outputs(self):
        """Each command's output with the definition it should fit."""
        return {
            "ports": ("ports", self.output(f"{self.silent}:/nonexistent/tty,tcp://nohost.invalid:1", "ports", "--json")),
            "identify": ("identify", self.output(self.port, "identify", "--json")),
            "query": ("query", self.output(self.port, "query", "--json", "-o", self.path("q.cfg"))),
            "diff": ("diff", self.output("", "diff", "--json", self.profile, self.changed, exit_code=1)),
            "diff --ta": ("diffTa", self.output(self.port, "diff", "--ta", "--json", self.changed, exit_code=1)),
            "apply --check": ("apply", self.output(self.port, "apply", "--check", "--json", self.changed)),
            "no TA": ("failure", self.output(self.silent, "identify", "--json", exit_code=1)),
            "no free port": ("failure", self.output("/dev/null", "query", "--json", "-o", self.path("x.cfg"),
                                                    exit_code=1)),
            "no profile": ("failure", self.output(self.port, "diff", "--ta", "--json", self.path("none.cfg"),
                                                  exit_code=2)),
        }

    def test_every_output_fits_its_definition_and_the_whole_schema(self):
        whole = jsonschema.Draft202012Validator(self.schema)
        for name, (definition, document) in self.outputs().items():
            with self.subTest(output=name):
                self.assertEqual(self.errors(definition, document), [])
                self.assertTrue(whole.is_valid(document))

    def test_outputs_that_are_not_tactls_are_refused(self):
        outputs = self.outputs()

        def mutated(output, change):
            definition, document = outputs[output]
            document = copy.deepcopy(document)
            change(document)
            return definition, document

        mutations = {
            "a state of no list": ("ports", lambda d: d[0].__setitem__("state", "busy")),
            "a class of no list": ("ports", lambda d: d[0].__setitem__("class", "broken")),
            "a pid as text": ("ports", lambda d: d[0].__setitem__("pid", "812")),
            "a port without its state": ("ports", lambda d: d[0].pop("state")),
            "a COM number past the eighth": ("ports", lambda d: d[0].__setitem__("com", "COM9")),
            "a variant of no TA": ("identify", lambda d: d.__setitem__("taVariant", 4)),
            "a success with a message": ("identify", lambda d: d.__setitem__("message", "Cannot find a TA")),
            "a query without its firmware": ("query", lambda d: d.pop("firmwareVersion")),
            "a difference as a line": ("diff", lambda d: d["differences"].append("redialCount: 0 -> 3")),
            "a difference without the TA's value": ("diff --ta", lambda d: d["differences"][0].pop("old")),
            "a field of no output": ("diff --ta", lambda d: d.__setitem__("changed", True)),
            "an apply without what it wrote": ("apply --check", lambda d: d.pop("written")),
            "a failure of class none": ("no TA", lambda d: d.__setitem__("class", "none")),
            "a failure without its class": ("no free port", lambda d: d.pop("class")),
        }
        for name, (output, change) in mutations.items():
            with self.subTest(mutation=name):
                self.assertNotEqual(self.errors(*mutated(output, change)), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
