-- Early-warning coverage lists.
CREATE TABLE brz_eus_kapsam (
    muta  VARCHAR,
    donem VARCHAR
);
