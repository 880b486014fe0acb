"""moto_server, checking a signature against the request as it was sent.

moto rebuilds the URL it verifies a SigV4 signature with from werkzeug's re-quoted one, which
leaves "/" bare in a query ("prefix=ofis%2Fc" becomes "prefix=ofis/c") and turns %C3%BC back
into text; S3 signs what was sent, so such a request, signed right, would be refused. Here the
check reads the raw request line instead. Everything else is moto's own: moto.sh runs this with
the Python that moto_server belongs to, with moto_server's arguments.
"""
import sys

from moto.core.authorization import ActionAuthenticatorMixin
from moto.server import main

checked = ActionAuthenticatorMixin._authenticate_and_authorize_action


def check_raw(self, *args, **kwargs):
    environ = getattr(getattr(self, "request", None), "environ", None) or {}
    raw = environ.get("RAW_URI") or environ.get("REQUEST_URI")
    if not raw:
        return checked(self, *args, **kwargs)
    kept = self.uri
    self.uri = raw
    try:
        return checked(self, *args, **kwargs)
    finally:
        self.uri = kept


ActionAuthenticatorMixin._authenticate_and_authorize_action = check_raw

if __name__ == "__main__":
    sys.exit(main())
