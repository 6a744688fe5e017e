# The options every module of this collection passes to tactl.
from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
options:
  port:
    description:
      - The TA's serial port as tactl's C(--port) takes it, a device path such as C(/dev/ttyUSB0) or a
        network port such as C(rfc2217://ts1.example.net:4001).
      - Without it tactl searches the machine's serial ports COM1 to COM8 for the TA.
    type: str
  remote:
    description:
      - Reach the TA at the far end of an ISDN call of the local TA to this number (tactl's C(--remote)).
      - The call is hung up and the local TA restored when the module ends, whatever happens.
    type: str
  tactl:
    description:
      - The tactl program to run, a name looked up in C(PATH) or a path.
    type: str
    default: tactl
  timeout:
    description:
      - Seconds an exchange with the TA may take (tactl's C(--timeout)); past them it is stopped, a call
        hung up and the local TA restored, and the task fails with C(failure_class) C(timeout).
    type: int
    default: 600
  x25:
    description:
      - Handle X.25 on the D channel (tactl's C(--x25)); without it X.25 settings are neither read nor
        written, and asking for one fails.
    type: bool
    default: false
  no_country:
    description:
      - Leave the country setting and the settings that go with it alone (tactl's C(--no-country)).
    type: bool
    default: false
  no_datetime:
    description:
      - Leave the TA's date and time alone (tactl's C(--no-datetime)).
    type: bool
    default: false
requirements:
  - tactl (from the tautil package) on the host the module runs on, which must reach the TA's port
notes:
  - The modules run tactl for every exchange with the TA; they talk to no TA themselves.
  - One TA is one port; tasks for several TAs run in parallel as Ansible's hosts do, one host per TA
    (several hosts may share a jump host through C(ansible_host)).
"""
