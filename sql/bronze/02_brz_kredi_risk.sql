-- Credit risk per customer and period.
CREATE TABLE brz_kredi_risk (
    muta       VARCHAR,
    donem      VARCHAR,
    kredi_risk BIGINT
);
