#!/usr/bin/env python3
"""Builds the Ansible collection, installs it into a scratch folder and runs
the playbook that checks it against three simulated TAs: one that takes
everything, one that refuses every call type, one that keeps its own. The
playbook asserts what each task returned and what tasim received; this
driver checks that the collection packs, installs and documents itself and
that the playbook got through.

Then it runs the collection's example, its inventory and playbook as they
are shipped, against four simulated TAs: two on pseudo-terminals, two behind
ser2net, one of those reached through a call. A second inventory puts each
host on this machine and names its TA's port. Nothing is written outside
the scratch folder.
"""
import argparse
import glob
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

import yaml

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


class Ser2net:
    """ser2net on a loopback port of its own, serving one TA by RFC 2217."""

    def __init__(self, program, device, folder):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        config = os.path.join(folder, "ser2net-%d.yaml" % self.port)
        with open(config, "w") as f:
            f.write("%%YAML 1.1\n---\nconnection: &ta\n"
                    "    accepter: telnet(rfc2217),tcp,127.0.0.1,%d\n"
                    "    connector: serialdev,%s,115200n81,local\n"
                    "    options:\n      chardelay: false\n" % (self.port, device))
        self.process = subprocess.Popen([program, "-n", "-d", "-u", "-c", config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(500):
            with socket.socket() as client:
                if client.connect_ex(("127.0.0.1", self.port)) == 0:
                    return
            time.sleep(0.01)
        raise RuntimeError("ser2net did not come up for %s" % device)

    def stop(self):
        self.process.kill()
        self.process.wait(timeout=10)


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


# The example's hosts: how each reaches its TA here.
EXAMPLE_HOSTS = (
    ("site-a", dict(behind=None)),
    ("site-b", dict(behind=None)),
    ("branch-c", dict(behind="ser2net")),
    ("branch-d", dict(behind="ser2net", remote="0301234")),
)


def example_inventory(root, ports, remotes):
    """The second inventory: every host on this machine, its port and call."""
    hosts = {}
    for name, port in ports.items():
        hosts[name] = dict(ansible_connection="local", ansible_python_interpreter=sys.executable, ta_port=port)
        if name in remotes:
            hosts[name]["ta_remote"] = remotes[name]
    path = os.path.join(root, "here.json")
    with open(path, "w") as f:
        json.dump(dict(all=dict(children=dict(tas=dict(hosts=hosts)))), f)
    return path


def run_example(args, env, root):
    """The shipped example, checked and run twice: the first run writes every
    TA, the second finds nothing to do; each write is one session."""
    examples = os.path.join(args.collection, "examples")
    tas, servers, ports, remotes = {}, [], {}, {}
    env = dict(env, PATH=os.path.dirname(args.tactl) + os.pathsep + env.get("PATH", ""))
    try:
        for name, how in EXAMPLE_HOSTS:
            options = ["--dial-delay-ms", "100"] if how.get("remote") else []
            tas[name] = Tasim(args.tasim, options, os.path.join(root, name + ".log"))
            ports[name] = tas[name].path
            if how["behind"]:
                servers.append(Ser2net(args.ser2net, tas[name].path, root))
                ports[name] = "rfc2217://127.0.0.1:%d" % servers[-1].port
            if how.get("remote"):
                remotes[name] = how["remote"]
        here = example_inventory(root, ports, remotes)
        backups = os.path.join(root, "example-backups")
        play = ["ansible-playbook", "-i", os.path.join(examples, "inventory.yml"), "-i", here,
                "-e", "backups=" + backups, os.path.join(examples, "site.yml")]
        logs = {}
        for step, extra in (("check", ["--check", "--diff"]), ("first", []), ("second", [])):
            output = run(play + extra, env, root, timeout=TIMEOUT)
            check_recap(output, step)
            logs[step] = dict((name, read(ta.log)) for name, ta in tas.items())
        check_example_logs(logs, remotes)
        for name, _ in EXAMPLE_HOSTS:
            with open(os.path.join(backups, name + ".json")) as f:
                kept = json.load(f)
                if kept["redialCount"] != 3 or kept["countryCode.label"] != "German":
                    raise SystemExit("the settings of %s kept on the controller are not the TA's: %s" % (name, kept))
    finally:
        for server in servers:
            server.stop()
        for ta in tas.values():
            ta.stop()


def read(path):
    with open(path, errors="replace") as f:
        return f.read()


def check_recap(output, step):
    print(output)
    if output.count("failed=0") != len(EXAMPLE_HOSTS) or output.count("unreachable=0") != len(EXAMPLE_HOSTS):
        raise SystemExit("the example's %s run did not get through" % step)


def assignments(log):
    return [line for line in log.splitlines() if "=" in line and "ATC0=" not in line]


def check_example_logs(logs, remotes):
    """Nothing written in check mode, each TA written in the first run and
    not in the second; a TA behind a call is called once by each module."""
    for name, _ in EXAMPLE_HOSTS:
        check, first, second = logs["check"][name], logs["first"][name], logs["second"][name]
        if assignments(check):
            raise SystemExit("check mode wrote to %s: %s" % (name, assignments(check)))
        wrote = assignments(first[len(check):])
        if not any("$P5=237" in line for line in wrote) or not any("%D3=3" in line for line in wrote):
            raise SystemExit("the first run did not write %s's settings: %s" % (name, wrote))
        if assignments(second[len(first):]):
            raise SystemExit("the second run wrote to %s: %s" % (name, assignments(second[len(first):])))
        if name in remotes:
            calls = first[len(check):].count("tasim: ATD"), first[len(check):].count("tasim: ATH")
            if calls != (2, 2):
                raise SystemExit("%s: %d calls and %d hang-ups for ta_info and ta_profile, not one each" % ((name,) + calls))


def run_module_examples(args, env, root, port):
    """The EXAMPLES of every module as ansible-doc shows them, run as one
    playbook against a simulated TA: the ports and files they name for a
    real site become this test's."""
    files = {".cfg": os.path.join(root, "example.cfg"), ".txt": os.path.join(root, "example.txt")}
    run([args.tactl, "query", "--port", port, "-o", files[".cfg"]], env, root)
    run([args.tactl, "query", "--port", port, "--format", "text", "-o", files[".txt"]], env, root)
    os.makedirs(os.path.join(root, "backups"), exist_ok=True)
    tasks = []
    for module in ("ta_info", "ta_profile"):
        doc = json.loads(run(["ansible-doc", "--json", "isdnta.tautil." + module], env, root))
        for task in yaml.safe_load(doc["isdnta.tautil." + module]["examples"]):
            for name, options in task.items():
                if name.startswith("isdnta.tautil."):
                    options["port"] = port
                    if "src" in options:
                        options["src"] = files[os.path.splitext(options["src"])[1]]
            tasks.append(task)
    path = os.path.join(root, "examples.yml")
    with open(path, "w") as f:
        yaml.safe_dump([dict(name="The modules' examples", hosts="localhost", gather_facts=False, tasks=tasks)], f)
    env = dict(env, PATH=os.path.dirname(args.tactl) + os.pathsep + env.get("PATH", ""))
    output = run(["ansible-playbook", "-i", "localhost,", "-c", "local", path], env, root, timeout=TIMEOUT)
    print(output)
    if "failed=0" not in output:
        raise SystemExit("the modules' examples did not run")


def main():
    parser = argparse.ArgumentParser()
    for name in ("tactl", "tasim", "ser2net", "collection", "playbook"):
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
            run_module_examples(args, env, root, tas["good"].path)
        finally:
            for ta in tas.values():
                ta.stop()
        print(output)
        if "failed=0" not in output or "unreachable=0" not in output:
            raise SystemExit("the playbook did not get through")
        run_example(args, env, root)


if __name__ == "__main__":
    main()
