// Qt binding of the link clock
