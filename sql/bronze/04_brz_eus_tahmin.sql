-- EUS model scores per customer and period.
CREATE TABLE brz_eus_tahmin (
    muta        VARCHAR,
    donem       VARCHAR,
    eus_skor    DOUBLE,
    eus_ihtimal DOUBLE
);
