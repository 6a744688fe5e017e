#!/usr/bin/env python3
"""Lints the Ansible collection as the ecosystem does: ansible-lint on its
sources (production profile) and ansible-test's validate-modules on the
collection as built and installed. A finding passes only when the
collection's own ignore files name it (.ansible-lint-ignore,
tests/sanity/ignore-X.Y.txt), each with its reason. Exits 77 (skipped) when
a linter is not installed.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

from run_playbook import install_collection, scratch_environment

SKIPPED = 77
VALIDATE = "/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/validate-modules"
# The system's Python, whose packages (voluptuous) validate-modules needs.
SYSTEM_PYTHON = "/usr/bin/python3"


def run_ansible_lint(collection, env):
    done = subprocess.run(["ansible-lint", "--offline", "--nocolor", "--profile", "production"], cwd=collection,
                          env=env, capture_output=True, text=True, timeout=300)
    if done.returncode != 0:
        sys.stderr.write(done.stdout + done.stderr)
        raise SystemExit("ansible-lint found what the collection's .ansible-lint-ignore does not justify")


def ignored_findings(collection):
    """(path, code) pairs the sanity ignore file of this ansible-core names."""
    version = subprocess.run(["ansible", "--version"], capture_output=True, text=True).stdout
    major_minor = re.search(r"core (\d+\.\d+)", version).group(1)
    path = os.path.join(collection, "tests", "sanity", "ignore-%s.txt" % major_minor)
    pairs = set()
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                fields = line.split("#", 1)[0].split()
                if len(fields) == 2 and fields[1].startswith("validate-modules:"):
                    pairs.add((fields[0], fields[1].split(":", 1)[1]))
    return pairs


def collection_version(collection):
    with open(os.path.join(collection, "galaxy.yml")) as f:
        return re.search(r"^version: *(\S+)", f.read(), re.M).group(1)


def run_validate_modules(installed, collection, env):
    modules = sorted(glob.glob(os.path.join(installed, "plugins", "modules", "*.py")))
    relative = [os.path.relpath(module, installed) for module in modules]
    done = subprocess.run([SYSTEM_PYTHON, os.path.join(VALIDATE, "validate.py"), "--arg-spec", "--collection",
                           "ansible_collections/isdnta/tautil", "--collection-version", collection_version(collection), "--format", "plain"]
                          + relative, cwd=installed, env=dict(env, PYTHONPATH=VALIDATE), capture_output=True,
                          text=True, timeout=300)
    if done.returncode not in (0, 3):
        sys.stderr.write(done.stdout + done.stderr)
        raise SystemExit("validate-modules did not run")
    ignored = ignored_findings(collection)
    findings = []
    for line in done.stdout.splitlines():
        match = re.match(r"(\S+?):\d+:\d+: [EW]([\w-]+) ", line)
        if match and (match.group(1), match.group(2)) not in ignored:
            findings.append(line)
    if findings:
        raise SystemExit("validate-modules:\n" + "\n".join(findings))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--collection", required=True)
    args = parser.parse_args()
    if not shutil.which("ansible-lint") or subprocess.run([SYSTEM_PYTHON, "-c", "import voluptuous"]).returncode:
        print("ansible-lint or python3-voluptuous is not installed (tools/install-deps.sh installs them)")
        sys.exit(SKIPPED)
    collection = os.path.abspath(args.collection)
    with tempfile.TemporaryDirectory(prefix="ansible-lint-") as root:
        env = scratch_environment(root)
        install_collection(collection, root, env)
        installed = os.path.join(env["ANSIBLE_COLLECTIONS_PATH"], "ansible_collections", "isdnta", "tautil")
        run_ansible_lint(collection, env)
        run_validate_modules(installed, collection, env)
    print("ansible-lint and validate-modules: clean, or justified in the collection's ignore files")


if __name__ == "__main__":
    main()
