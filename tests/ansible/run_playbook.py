#!/usr/bin/env python3
"""Builds the Ansible collection, installs it into a scratch folder and runs
the playbook that checks it against three simulated TAs: one that takes
everything, one that refuses every call type, one that keeps its own. The
playbook asserts what each task returned and what tasim received; this
driver checks that the collection packs, installs and documents itself and
that the playbook got through. Nothing is written outside the scratch folder.
"""
import argparse
import glob
import json
import os
import subprocess
import sys
import tempfile

TIMEOUT = 240  # seconds for the whole playbook; a hang fails the test


class Tasim:
    """tasim on a pseudo-terminal of its own, its received lines in a log."""

    def __init__(self, program, options, log):
        self.log = log
        with open(log, "wb") as err:
            self.process = subprocess.Popen([program, "--log", *options], stdout=subprocess.PIPE, stderr=err)
        self.path = self.process.stdout.readline().decode().strip()
        if not self.path:
            raise RuntimeError("tasim %s did not start" % " ".join(options))

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.process.stdout.close()


def run(command, env, cwd, timeout=120):
    done = subprocess.run(command, env=env, cwd=cwd, capture_output=True, text=True, timeout=timeout)
    if done.returncode != 0:
        sys.stderr.write("$ %s\n%s%s" % (" ".join(command), done.stdout, done.stderr))
        raise SystemExit("%s failed with exit code %d" % (command[0], done.returncode))
    return done.stdout


def scratch_environment(root):
    """Ansible's folders, HOME among them, all in the scratch folder."""
    env = dict(os.environ)
    folders = {name: os.path.join(root, name) for name in ("home", "tmp", "remote-tmp", "collections")}
    for folder in folders.values():
        os.makedirs(folder)
    # An empty configuration, so that none of the user's or the machine's counts.
    config = os.path.join(root, "ansible.cfg")
    open(config, "w").close()
    env.update(
        HOME=folders["home"],
        ANSIBLE_HOME=os.path.join(folders["home"], ".ansible"),
        ANSIBLE_LOCAL_TEMP=folders["tmp"],
        ANSIBLE_REMOTE_TEMP=folders["remote-tmp"],
        ANSIBLE_COLLECTIONS_PATH=folders["collections"],
        ANSIBLE_CONFIG=config,
        ANSIBLE_NOCOLOR="1",
        ANSIBLE_RETRY_FILES_ENABLED="0",
        ANSIBLE_PYTHON_INTERPRETER=sys.executable,
        ANSIBLE_LOCALHOST_WARNING="0",
        ANSIBLE_INVENTORY_UNPARSED_WARNING="0",
    )
    return env


def install_collection(collection, root, env):
    run(["ansible-galaxy", "collection", "build", collection, "--output-path", root], env, root)
    tarballs = glob.glob(os.path.join(root, "*.tar.gz"))
    if len(tarballs) != 1:
        raise SystemExit("ansible-galaxy built %s" % tarballs)
    run(["ansible-galaxy", "collection", "install", tarballs[0], "-p", env["ANSIBLE_COLLECTIONS_PATH"]], env, root)


def check_documentation(env, root):
    for module in ("ta_profile", "ta_info"):
        shown = json.loads(run(["ansible-doc", "--json", "isdnta.tautil." + module], env, root))
        doc = shown["isdnta.tautil." + module]
        for part in ("doc", "examples", "return"):
            if not doc.get(part):
                raise SystemExit("ansible-doc %s has no %s" % (module, part))
        if "port" not in doc["doc"]["options"]:
            raise SystemExit("ansible-doc %s lacks the port option" % module)
        run(["ansible-doc", "isdnta.tautil." + module], env, root)


def main():
    parser = argparse.ArgumentParser()
    for name in ("tactl", "tasim", "collection", "playbook"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="ansible-test-") as root:
        env = scratch_environment(root)
        install_collection(args.collection, root, env)
        check_documentation(env, root)
        tas = {}
        try:
            for name, options in (("good", []), ("refusing", ["--refuse", "C0"]), ("keeping", ["--keep", "C0"])):
                tas[name] = Tasim(args.tasim, options, os.path.join(root, name + ".log"))
            variables = dict(tactl=args.tactl, work=root, port=tas["good"].path, log=tas["good"].log,
                             refusing_port=tas["refusing"].path, keeping_port=tas["keeping"].path)
            with open(os.path.join(root, "vars.json"), "w") as f:
                json.dump(variables, f)
            output = run(["ansible-playbook", "-i", "localhost,", "-c", "local", "-e", "@vars.json", args.playbook],
                         env, root, timeout=TIMEOUT)
        finally:
            for ta in tas.values():
                ta.stop()
        print(output)
        if "failed=0" not in output or "unreachable=0" not in output:
            raise SystemExit("the playbook did not get through")


if __name__ == "__main__":
    main()
